"""Independent references for the tests: AES-256 from the cryptography package, with the
modes written out here over AES-ECB. Where cryptography has no wheel (PyPy 8.0), AES-256-ECB
comes from OpenSSL's EVP interface through ctypes instead."""

try:
    from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
except ImportError:
    Cipher = None


def _libcrypto_path():
    """A wheel's own libcrypto (beside the module, where auditwheel, delocate and delvewheel put
    it), else the system's."""
    import ctypes.util
    import glob
    import os

    import dallowgate
    here = os.path.dirname(dallowgate.__file__)
    bundled = [path for folder in ("dallowgate.libs", ".dylibs")
               for path in glob.glob(os.path.join(here, folder, "*crypto*"))]
    return bundled[0] if bundled else ctypes.util.find_library("crypto")


def _libcrypto():
    import ctypes
    crypto = ctypes.CDLL(_libcrypto_path())
    pointer, integer, text = ctypes.c_void_p, ctypes.c_int, ctypes.c_char_p
    for name, result, arguments in [
        ("EVP_CIPHER_CTX_new", pointer, []),
        ("EVP_CIPHER_CTX_free", None, [pointer]),
        ("EVP_aes_256_ecb", pointer, []),
        ("EVP_CipherInit_ex", integer, [pointer, pointer, pointer, text, text, integer]),
        ("EVP_CIPHER_CTX_set_padding", integer, [pointer, integer]),
        ("EVP_CipherUpdate", integer, [pointer, text, ctypes.POINTER(integer), text, integer]),
    ]:
        getattr(crypto, name).restype, getattr(crypto, name).argtypes = result, arguments
    return ctypes, crypto


class _EvpEcb:
    """AES-256-ECB on OpenSSL's EVP interface: an encryptor or decryptor of cryptography's,
    as far as these oracles use one."""

    ctypes, crypto = _libcrypto() if Cipher is None else (None, None)

    def __init__(self, key, enc):
        assert len(key) == 32
        self.context = self.crypto.EVP_CIPHER_CTX_new()
        assert self.crypto.EVP_CipherInit_ex(self.context, self.crypto.EVP_aes_256_ecb(), None,
                                             key, None, int(enc)) == 1
        self.crypto.EVP_CIPHER_CTX_set_padding(self.context, 0)

    def update(self, data):
        assert len(data) % 16 == 0
        out, written = self.ctypes.create_string_buffer(len(data) + 16), self.ctypes.c_int()
        assert self.crypto.EVP_CipherUpdate(self.context, out, self.ctypes.byref(written),
                                            bytes(data), len(data)) == 1
        return out.raw[:written.value]

    def __del__(self):
        self.crypto.EVP_CIPHER_CTX_free(self.context)


def aes_ecb(key, enc=True):
    if Cipher is None:
        return _EvpEcb(key, enc)
    cipher = Cipher(algorithms.AES(key), modes.ECB())
    return cipher.encryptor() if enc else cipher.decryptor()


def aes_block(key, block):
    return aes_ecb(key).update(block)


def _xor(a, b):
    return (int.from_bytes(a, "little") ^ int.from_bytes(b, "little")).to_bytes(16, "little")


def ige_encrypt(data, key, iv):
    ecb = aes_ecb(key).update
    c_prev, p_prev = iv[:16], iv[16:32]
    whole = len(data) // 16 * 16
    out = []
    for i in range(0, whole, 16):
        p = data[i:i + 16]
        c = _xor(ecb(_xor(p, c_prev)), p_prev)
        out.append(c)
        c_prev, p_prev = c, p
    return b"".join(out) + data[whole:]


def ige_decrypt(data, key, iv):
    ecb = aes_ecb(key, enc=False).update
    c_prev, p_prev = iv[:16], iv[16:32]
    whole = len(data) // 16 * 16
    out = []
    for i in range(0, whole, 16):
        c = data[i:i + 16]
        p = _xor(ecb(_xor(c, p_prev)), c_prev)
        out.append(p)
        c_prev, p_prev = c, p
    return b"".join(out) + data[whole:]


# --- message protection, written out with hashlib -------------------------------------------

import hashlib  # noqa: E402
import struct  # noqa: E402


def kdf(auth_key, msg_key, offset):
    a = hashlib.sha256(msg_key + auth_key[offset:offset + 36]).digest()
    b = hashlib.sha256(auth_key[offset + 40:offset + 76] + msg_key).digest()
    return a[:8] + b[8:24] + a[24:], b[:8] + a[8:24] + b[24:]


def msg_key_of(auth_key, plaintext, offset):
    return hashlib.sha256(auth_key[88 + offset:120 + offset] + plaintext).digest()[8:24]


def padding_size(body_size):
    return (body_size + 59) // 16 * 16 - 32 - body_size


def plaintext_of(msg_id, seq_no, body, salt, session_id, padding=None, length_field=None):
    if padding is None:
        import os
        padding = os.urandom(padding_size(len(body)))
    length = len(body) if length_field is None else length_field
    return struct.pack("<q8sqi", salt, session_id, msg_id, seq_no) + struct.pack(
        "<i" if length < 0 else "<I", length) + body + padding


def seal(plaintext, auth_key, auth_key_id, offset=0, tail=b""):
    """A packed message for `plaintext`; `tail` (under 16 bytes) follows the ciphertext in
    clear, as a trailing partial block that is never encrypted but is hashed."""
    msg_key = msg_key_of(auth_key, plaintext + tail, offset)
    key, iv = kdf(auth_key, msg_key, offset)
    return auth_key_id + msg_key + ige_encrypt(plaintext, key, iv) + tail


def open_packed(packed, auth_key, offset=0):
    """The plaintext of a packed message (whole blocks decrypted, a partial tail kept)."""
    key, iv = kdf(auth_key, packed[8:24], offset)
    return ige_decrypt(packed[24:], key, iv)


# --- CTR with a 128-bit big-endian counter and a keystream position --------------------------

def ctr_stream(data, key, counter, position):
    """(output, final counter, final position) by the stream rule, over AES-ECB blocks."""
    start = int.from_bytes(counter, "big")
    blocks = (position + len(data) + 15) // 16
    counters = b"".join(((start + i) % 2 ** 128).to_bytes(16, "big") for i in range(blocks))
    keystream = aes_ecb(key).update(counters)[position:position + len(data)]
    output = (int.from_bytes(data, "big") ^ int.from_bytes(keystream, "big")).to_bytes(len(data), "big")
    final = ((start + (position + len(data)) // 16) % 2 ** 128).to_bytes(16, "big")
    return output, final, (position + len(data)) % 16
