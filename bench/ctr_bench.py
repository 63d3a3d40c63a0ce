"""CTR: 1 MiB against the CPU's widest AES throughput bound (bench/aes_width_bounds.cpp) and
against OpenSSL's AES-256-CTR through the cryptography package; 64 bytes per call against
cryptography with a long-lived encryptor and with a new encryptor per call; batches (64 items
of 16 KiB, and 1,000 items of 1 KiB or 300 bytes) against the bound, one call over the same
bytes, and separate calls."""

import os

import dallowgate
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from native import measure_all

MIB = 1024 * 1024


def new_encryptor(key, iv):
    return Cipher(algorithms.AES(key), modes.CTR(iv)).encryptor()


def cases():
    # native ns per MiB: aesni, vaes (256-bit), vaes512, libcrypto, openssl
    kernels = measure_all("ctr_kernels")
    # the AES-256 rounds of 1 MiB on 128-, 256- and 512-bit registers: the widest is the bound
    bounds = [(width, figure) for width, figure in zip((128, 256, 512),
                                                        measure_all("aes_width_bounds") or [])
              if figure is not None]
    widest = bounds[-1][1] if bounds else None
    bound_name = f"{bounds[-1][0]}-bit AES bound" if bounds else None
    if kernels:
        aesni, vaes, vaes512, libcrypto, openssl = kernels
        for name, figure in (("CTR kernel 1 MiB, 8-way AES-NI", aesni),
                             ("CTR kernel 1 MiB, VAES 256", vaes),
                             ("CTR kernel 1 MiB, VAES 512", vaes512),
                             ("CTR kernel 1 MiB, libcrypto", libcrypto)):
            if figure is not None:
                yield (name, figure, "OpenSSL EVP AES-256-CTR", openssl)
        if widest:
            for name, figure in (("CTR kernel 1 MiB, VAES 256", vaes),
                                 ("CTR kernel 1 MiB, VAES 512", vaes512)):
                if figure is not None:
                    yield (name, figure, bound_name, widest)

    # libcrypto without its AES-NI code, as on an x86-64 CPU without AES-NI: the libcrypto
    # backend (constant-time vector-permute blocks) against libcrypto's own CTR there, which is
    # faster but keys its bit-sliced blocks with a table-based key schedule.
    portable = measure_all("ctr_kernels", {"OPENSSL_ia32cap": "~0x200000000000000"})
    if portable and portable[3] is not None:
        yield ("CTR kernel 1 MiB, libcrypto, no AES-NI", portable[3],
               "EVP CTR, no AES-NI (table keys)", portable[4])

    key, iv0 = os.urandom(32), os.urandom(16)
    iv, state = bytearray(iv0), bytearray(1)

    data = os.urandom(MIB)
    assert dallowgate.ctr256_encrypt(data, key, bytearray(iv0), bytearray(1)) == \
        new_encryptor(key, iv0).update(data)
    long_lived = new_encryptor(key, iv0)
    buffer = bytearray(data)
    big_count, big_size = 64, 16 * 1024
    big_sizes = bytearray(big_size.to_bytes(4, "little") * big_count)
    big_ivs, big_states = bytearray(os.urandom(16 * big_count)), bytearray(big_count)
    if widest:
        yield ("ctr256_encrypt 1 MiB", lambda: dallowgate.ctr256_encrypt(data, key, iv, state),
               bound_name, widest)
        yield ("ctr256_encrypt_inplace 1 MiB",
               lambda: dallowgate.ctr256_encrypt_inplace(buffer, key, iv, state), bound_name, widest)
        yield ("batch 64 x 16 KiB",
               lambda: dallowgate.ctr256_encrypt_batch(data, big_sizes, key, big_ivs, big_states),
               bound_name, widest)
    yield ("batch 64 x 16 KiB",
           lambda: dallowgate.ctr256_encrypt_batch(data, big_sizes, key, big_ivs, big_states),
           "ctr256_encrypt 1 MiB", lambda: dallowgate.ctr256_encrypt(data, key, iv, state))
    yield ("ctr256_encrypt 1 MiB", lambda: dallowgate.ctr256_encrypt(data, key, iv, state),
           "cryptography CTR", lambda: long_lived.update(data))
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

    for count, size, label in ((1000, 1024, "1 KiB"), (1000, 300, "300 B")):
        yield from small_items(key, count, size, label)


def small_items(key, count, size, label):
    """A batch of small items against separate calls, and against one call over as many
    bytes."""
    flat = os.urandom(count * size)
    sizes = bytearray(size.to_bytes(4, "little") * count)
    ivs, states = bytearray(os.urandom(16 * count)), bytearray(count)
    items = [flat[i * size:(i + 1) * size] for i in range(count)]
    item_ivs = [bytearray(ivs[16 * i:16 * i + 16]) for i in range(count)]
    item_states = [bytearray(1) for _ in range(count)]
    iv, state = bytearray(16), bytearray(1)

    def separate_calls():
        encrypt = dallowgate.ctr256_encrypt
        return [encrypt(items[i], key, item_ivs[i], item_states[i]) for i in range(count)]

    name = f"batch {count} x {label}"
    yield (name, lambda: dallowgate.ctr256_encrypt_batch(flat, sizes, key, ivs, states),
           f"{count} ctr256_encrypt calls", separate_calls)
    yield (name, lambda: dallowgate.ctr256_encrypt_batch(flat, sizes, key, ivs, states),
           "one ctr256_encrypt, as long", lambda: dallowgate.ctr256_encrypt(flat, key, iv, state))
