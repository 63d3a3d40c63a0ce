"""Derives the AES key and IGE IV for one message in both directions."""

import os

import dallowgate

auth_key = os.urandom(256)  # the authorisation key both sides share
msg_key = os.urandom(16)  # travels in clear in every message

key, iv = dallowgate.kdf(auth_key, msg_key, True)  # a message we send
print("outgoing key", key.hex())
print("outgoing iv ", iv.hex())

key_in, iv_in = dallowgate.kdf(auth_key, msg_key, False)  # a message we receive
print("incoming key", key_in.hex())
print("incoming iv ", iv_in.hex())
assert (key, iv) != (key_in, iv_in)
