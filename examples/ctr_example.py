"""A CTR stream cut into pieces, in place, and many streams in one batch call."""

import os

import dallowgate

key = os.urandom(32)
nonce_and_counter = os.urandom(16)
data = os.urandom(1000)

# One stream, three calls of odd lengths: the counter and position travel in iv and state.
iv, state = bytearray(nonce_and_counter), bytearray(1)
pieces = [dallowgate.ctr256_encrypt(data[a:b], key, iv, state) for a, b in ((0, 7), (7, 500), (500, 1000))]
whole = dallowgate.ctr256_encrypt(data, key, bytearray(nonce_and_counter), bytearray(1))
assert b"".join(pieces) == whole
print("after 1000 bytes: iv", iv.hex(), "position", state[0])

# In place, for a bytearray the caller reuses.
buffer = bytearray(whole)
dallowgate.ctr256_decrypt_inplace(buffer, key, bytearray(nonce_and_counter), bytearray(1))
assert buffer == data

# Three independent streams in one call.
chunks = [os.urandom(n) for n in (100, 0, 4096)]
sizes = bytearray(b"".join(len(c).to_bytes(4, "little") for c in chunks))
ivs, states = bytearray(os.urandom(16 * 3)), bytearray(3)
encrypted = dallowgate.ctr256_encrypt_batch(b"".join(chunks), sizes, key, ivs, states)
print("batch of", len(chunks), "items:", len(encrypted), "bytes; positions", list(states))
