# The usual mistakes: `mypy --strict` must report every line marked `# mistake`.
import dallowgate

key, iv32 = bytes(32), bytes(32)
dallowgate.ctr256_encrypt(bytearray(b"src"), key, bytearray(16), bytearray(1))  # mistake
dallowgate.ctr256_encrypt(b"src", key, bytes(16), bytearray(1))  # mistake
dallowgate.ctr256_encrypt_inplace(b"data", key, bytearray(16), bytearray(1))  # mistake
dallowgate.kdf(bytes(256), bytes(16), 1)  # mistake
dallowgate.unpack_message(b"", bytes(8), bytes(256), bytes(8), incoming=0)  # mistake
dallowgate.ige256_encrypt(b"data", key, iv32, b"extra")  # mistake
dallowgate.pack_message(1.5, 2, b"body", 3, bytes(8), bytes(256), bytes(8))  # mistake
result: bytes = dallowgate.ctr256_encrypt_inplace(bytearray(), key, bytearray(16), bytearray(1))  # mistake
key_only: bytes = dallowgate.kdf(bytes(256), bytes(16), True)  # mistake
