"""Packs a message for the server and unpacks it again as the sending side would check it."""

import os

import dallowgate

auth_key = os.urandom(256)
auth_key_id = os.urandom(8)  # in the protocol: the low 8 bytes of SHA-1(auth_key)
session_id = os.urandom(8)

packed = dallowgate.pack_message(
    msg_id=0x5E0B_7000_0000_0004, seq_no=1, body=b"a serialised request",
    salt=0x1234, session_id=session_id, auth_key=auth_key, auth_key_id=auth_key_id)
print("packed", len(packed), "bytes:", packed[:24].hex(), "...")

# Messages we packed use the outgoing direction; unpack_message reads incoming ones by default.
msg_id, seq_no, length, body, decrypted_less_16 = dallowgate.unpack_message(
    packed, session_id, auth_key, auth_key_id, incoming=False)
print(hex(msg_id), seq_no, length, body)

try:
    dallowgate.unpack_message(packed, session_id, auth_key, auth_key_id)
except ValueError as error:
    print("as an incoming message:", error)
