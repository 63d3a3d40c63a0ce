# A caller's script that `mypy --strict` must accept with the installed stubs.
import os

import dallowgate

key, iv32 = os.urandom(32), os.urandom(32)
ciphertext: bytes = dallowgate.ige256_encrypt(b"\0" * 64, key, iv32)
plaintext: bytes = dallowgate.ige256_decrypt(data=ciphertext, key=key, iv=iv32)

counter, state = bytearray(16), bytearray(1)
chunk: bytes = dallowgate.ctr256_encrypt(b"chunk", key, counter, state)
buffer = bytearray(b"chunk")
dallowgate.ctr256_decrypt_inplace(buffer, key, counter, state)
flat: bytes = dallowgate.ctr256_encrypt_batch(b"ab", bytearray(b"\2\0\0\0"), key, bytearray(16),
                                              bytearray(1))

auth_key, auth_key_id, session_id = os.urandom(256), os.urandom(8), os.urandom(8)
derived: tuple[bytes, bytes] = dallowgate.kdf(auth_key, os.urandom(16), outgoing=True)
packed = dallowgate.pack_message(1 << 62, 3, b"body", -5, session_id, auth_key, auth_key_id)
msg_id, seq_no, length, body, rest = dallowgate.unpack_message(
    packed, session_id, auth_key, auth_key_id, incoming=False)
total: int = msg_id + seq_no + length + rest
text: str = body.decode()
names: list[str] = dallowgate.__all__
