"""Encrypts and decrypts a buffer with AES-256-IGE."""

import os

import dallowgate

key = os.urandom(32)
iv = os.urandom(32)  # previous-ciphertext block, then previous-plaintext block
data = b"sixteen byte blk" * 4 + b"tail"  # a partial last block passes through unchanged

encrypted = dallowgate.ige256_encrypt(data, key, iv)
print("ciphertext", encrypted.hex())
assert encrypted[-4:] == b"tail"
assert dallowgate.ige256_decrypt(encrypted, key, iv) == data
print("round trip ok")
