"""IGE: 1 MiB against the serial AES-NI bound and against OpenSSL's AES_ige_encrypt; 64 bytes
per call against IGE written in Python over the cryptography package's AES-ECB."""

import ctypes
import ctypes.util
import os

import dallowgate
from native import measure

MIB = 1024 * 1024


def openssl_ige():
    library = ctypes.util.find_library("crypto")
    if not library:
        return None
    crypto = ctypes.CDLL(library)
    crypto.AES_set_encrypt_key.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_void_p]
    crypto.AES_set_decrypt_key.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_void_p]
    crypto.AES_ige_encrypt.argtypes = [ctypes.c_char_p, ctypes.c_void_p, ctypes.c_size_t,
                                       ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int]

    def run(data, key, iv, encrypt):
        schedule = ctypes.create_string_buffer(512)
        (crypto.AES_set_encrypt_key if encrypt else crypto.AES_set_decrypt_key)(key, 256, schedule)
        out = ctypes.create_string_buffer(len(data))
        ivec = ctypes.create_string_buffer(iv, 32)
        crypto.AES_ige_encrypt(data, out, len(data), schedule, ivec, 1 if encrypt else 0)
        return out.raw

    return run


def python_ige(data, key, iv):
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
    ecb = Cipher(algorithms.AES(key), modes.ECB()).encryptor().update
    c_prev = int.from_bytes(iv[:16], "little")
    p_prev = int.from_bytes(iv[16:], "little")
    out = []
    for i in range(0, len(data) // 16 * 16, 16):
        p = int.from_bytes(data[i:i + 16], "little")
        c = int.from_bytes(ecb((p ^ c_prev).to_bytes(16, "little")), "little") ^ p_prev
        out.append(c.to_bytes(16, "little"))
        c_prev, p_prev = c, p
    return b"".join(out)


def cases():
    key, iv = os.urandom(32), os.urandom(32)
    data = os.urandom(MIB)
    encrypted = dallowgate.ige256_encrypt(data, key, iv)

    bound = measure("aes_chain")  # ns for 1 MiB of dependent aesenc, 14 per block
    if bound is not None:
        yield ("ige256_encrypt 1 MiB", lambda: dallowgate.ige256_encrypt(data, key, iv),
               "serial aesenc bound", bound)
        yield ("ige256_decrypt 1 MiB", lambda: dallowgate.ige256_decrypt(encrypted, key, iv),
               "serial aesenc bound", bound)

    openssl = openssl_ige()
    if openssl is not None:
        assert openssl(data, key, iv, True) == encrypted
        yield ("ige256_encrypt 1 MiB", lambda: dallowgate.ige256_encrypt(data, key, iv),
               "OpenSSL AES_ige_encrypt", lambda: openssl(data, key, iv, True))
        yield ("ige256_decrypt 1 MiB", lambda: dallowgate.ige256_decrypt(encrypted, key, iv),
               "OpenSSL AES_ige_encrypt", lambda: openssl(encrypted, key, iv, False))

    small = os.urandom(64)
    assert python_ige(small, key, iv) == dallowgate.ige256_encrypt(small, key, iv)
    yield ("ige256_encrypt 64 B", lambda: dallowgate.ige256_encrypt(small, key, iv),
           "Python IGE over ECB", lambda: python_ige(small, key, iv))
