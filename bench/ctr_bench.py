"""CTR: 1 MiB against OpenSSL's AES-256-CTR through the cryptography package; 64 bytes per
call against cryptography with a long-lived encryptor and with a new encryptor per call;
a batch of 1,000 items of 1 KiB against 1,000 separate calls."""

import os

import dallowgate
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from native import measure_all

MIB = 1024 * 1024


def new_encryptor(key, iv):
    return Cipher(algorithms.AES(key), modes.CTR(iv)).encryptor()


def cases():
    kernels = measure_all("ctr_kernels")  # native ns per MiB: aesni, vaes, libcrypto, openssl
    if kernels:
        aesni, vaes, libcrypto, openssl = kernels
        for name, figure in (("CTR kernel 1 MiB, 8-way AES-NI", aesni), ("CTR kernel 1 MiB, VAES", vaes),
                             ("CTR kernel 1 MiB, libcrypto", libcrypto)):
            if figure is not None:
                yield (name, figure, "OpenSSL EVP AES-256-CTR", openssl)

    # libcrypto without its AES-NI code, as on an x86-64 CPU without AES-NI: the libcrypto
    # backend (constant-time vector-permute blocks) against libcrypto's own CTR there, which is
    # faster but keys its bit-sliced blocks with a table-based key schedule.
    portable = measure_all("ctr_kernels", {"OPENSSL_ia32cap": "~0x200000000000000"})
    if portable and portable[2] is not None:
        yield ("CTR kernel 1 MiB, libcrypto, no AES-NI", portable[2],
               "EVP CTR, no AES-NI (table keys)", portable[3])

    key, iv0 = os.urandom(32), os.urandom(16)
    iv, state = bytearray(iv0), bytearray(1)

    data = os.urandom(MIB)
    assert dallowgate.ctr256_encrypt(data, key, bytearray(iv0), bytearray(1)) == \
        new_encryptor(key, iv0).update(data)
    long_lived = new_encryptor(key, iv0)
    yield ("ctr256_encrypt 1 MiB", lambda: dallowgate.ctr256_encrypt(data, key, iv, state),
           "cryptography CTR", lambda: long_lived.update(data))
    buffer = bytearray(data)
    yield ("ctr256_encrypt_inplace 1 MiB",
           lambda: dallowgate.ctr256_encrypt_inplace(buffer, key, iv, state),
           "cryptography CTR", lambda: long_lived.update(data))
    yield ("ctr256_encrypt_inplace 1 MiB",
           lambda: dallowgate.ctr256_encrypt_inplace(buffer, key, iv, state),
           "ctr256_encrypt 1 MiB", lambda: dallowgate.ctr256_encrypt(data, key, iv, state))

    small = os.urandom(64)
    small_buffer = bytearray(small)
    yield ("ctr256_encrypt 64 B", lambda: dallowgate.ctr256_encrypt(small, key, iv, state),
           "cryptography, one encryptor", lambda: long_lived.update(small))
    yield ("ctr256_encrypt 64 B", lambda: dallowgate.ctr256_encrypt(small, key, iv, state),
           "cryptography, new encryptor", lambda: new_encryptor(key, iv0).update(small))
    yield ("ctr256_encrypt_inplace 64 B",
           lambda: dallowgate.ctr256_encrypt_inplace(small_buffer, key, iv, state),
           "cryptography, one encryptor", lambda: long_lived.update(small))
    yield ("ctr256_encrypt_inplace 64 B",
           lambda: dallowgate.ctr256_encrypt_inplace(small_buffer, key, iv, state),
           "cryptography, new encryptor", lambda: new_encryptor(key, iv0).update(small))

    count, size = 1000, 1024
    flat = os.urandom(count * size)
    sizes = bytearray(size.to_bytes(4, "little") * count)
    ivs, states = bytearray(os.urandom(16 * count)), bytearray(count)
    items = [flat[i * size:(i + 1) * size] for i in range(count)]
    item_ivs = [bytearray(ivs[16 * i:16 * i + 16]) for i in range(count)]
    item_states = [bytearray(1) for _ in range(count)]

    def separate_calls():
        encrypt = dallowgate.ctr256_encrypt
        return [encrypt(items[i], key, item_ivs[i], item_states[i]) for i in range(count)]

    yield ("batch 1000 x 1 KiB", lambda: dallowgate.ctr256_encrypt_batch(flat, sizes, key, ivs, states),
           "1000 ctr256_encrypt calls", separate_calls)
