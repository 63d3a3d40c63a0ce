"""AES-256-IGE, AES-256-CTR with caller-carried state, and message packing in native code."""

from typing import SupportsIndex

__all__ = [
    "ige256_encrypt",
    "ige256_decrypt",
    "ctr256_encrypt",
    "ctr256_decrypt",
    "ctr256_encrypt_inplace",
    "ctr256_decrypt_inplace",
    "ctr256_encrypt_batch",
    "ctr256_decrypt_batch",
    "kdf",
    "pack_message",
    "unpack_message",
]

def ige256_encrypt(data: bytes, key: bytes, iv: bytes) -> bytes:
    """Encrypts `data` with AES-256 in IGE mode.

    `key` is 32 bytes; `iv` is 32 bytes (previous-ciphertext block, then previous-plaintext
    block). Whole 16-byte blocks are encrypted; a trailing partial block is copied unchanged.

    Raises ValueError("Key must be 32 bytes") or ValueError("IV must be 32 bytes").

    Example: ``ciphertext = ige256_encrypt(plaintext, key, iv)``
    """

def ige256_decrypt(data: bytes, key: bytes, iv: bytes) -> bytes:
    """Decrypts `data` with AES-256 in IGE mode; the inverse of `ige256_encrypt`.

    Raises ValueError("Key must be 32 bytes") or ValueError("IV must be 32 bytes").

    Example: ``plaintext = ige256_decrypt(ciphertext, key, iv)``
    """

def ctr256_encrypt(src: bytes, key: bytes, iv: bytearray, state: bytearray) -> bytes:
    """Applies the AES-256-CTR keystream to `src` and returns the result.

    `iv` holds the 16-byte big-endian counter block and `state[0]` the number of keystream
    bytes of that block already used (0-15; larger values read as 0). Both are advanced in
    place, so consecutive calls continue one stream.

    Raises ValueError("Key must be 32 bytes"), ValueError("IV must be 16 bytes"),
    ValueError("state must not be empty"), or RuntimeError("<name> was resized during the
    call") if another thread resized `iv` or `state` meanwhile (nothing is written then).

    Example: ``out = ctr256_encrypt(chunk, key, iv, state)``
    """

def ctr256_decrypt(src: bytes, key: bytes, iv: bytearray, state: bytearray) -> bytes:
    """The same operation as `ctr256_encrypt` (CTR decryption is encryption).

    Raises the same errors as `ctr256_encrypt`.

    Example: ``chunk = ctr256_decrypt(out, key, iv, state)``
    """

def ctr256_encrypt_inplace(data: bytearray, key: bytes, iv: bytearray, state: bytearray) -> None:
    """As `ctr256_encrypt`, rewriting `data` in place instead of returning new bytes.

    Raises the ValueErrors of `ctr256_encrypt`; never RuntimeError: from 2048 bytes on,
    `data`, `iv` and `state` are pinned for the call (another thread's resize of them fails
    with BufferError).

    Example: ``ctr256_encrypt_inplace(buffer, key, iv, state)``
    """

def ctr256_decrypt_inplace(data: bytearray, key: bytes, iv: bytearray, state: bytearray) -> None:
    """The same operation as `ctr256_encrypt_inplace`.

    Raises the same errors as `ctr256_encrypt_inplace`.

    Example: ``ctr256_decrypt_inplace(buffer, key, iv, state)``
    """

def ctr256_encrypt_batch(
    data_flat: bytes, sizes: bytearray, key: bytes, ivs: bytearray, states: bytearray
) -> bytes:
    """Runs n independent CTR streams under one key in one call, n = len(states).

    `data_flat` holds the items back to back, `sizes` their lengths as n little-endian
    32-bit integers, `ivs` n counter blocks of 16 bytes and `states` n positions; `ivs` and
    `states` are advanced in place. Bytes after the last item are returned unchanged.

    Raises ValueError("Key must be 32 bytes"), ValueError("ivs must be 16*n bytes"),
    ValueError("sizes must be 4*n bytes"), ValueError("total data size overflow"),
    ValueError("data_flat too short for given sizes"), or RuntimeError("<name> was resized
    during the call").

    Example: ``out = ctr256_encrypt_batch(b"".join(items), sizes, key, ivs, states)``
    """

def ctr256_decrypt_batch(
    data_flat: bytes, sizes: bytearray, key: bytes, ivs: bytearray, states: bytearray
) -> bytes:
    """The same operation as `ctr256_encrypt_batch`.

    Raises the same errors as `ctr256_encrypt_batch`.

    Example: ``items = ctr256_decrypt_batch(flat, sizes, key, ivs, states)``
    """

def kdf(auth_key: bytes, msg_key: bytes, outgoing: bool) -> tuple[bytes, bytes]:
    """Derives the AES-256 key and IGE IV of one message: returns (key, iv), 32 bytes each.

    `auth_key` is 256 bytes; `outgoing` is True for messages we send (offset 0) and False
    for messages we receive (offset 8).

    Raises ValueError("auth_key must be 256 bytes").

    Example: ``key, iv = kdf(auth_key, msg_key, True)``
    """

def pack_message(
    msg_id: SupportsIndex,
    seq_no: SupportsIndex,
    body: bytes,
    salt: SupportsIndex,
    session_id: bytes,
    auth_key: bytes,
    auth_key_id: bytes,
) -> bytes:
    """Packs one outgoing message: auth_key_id, msg_key, then the IGE-encrypted plaintext.

    `msg_id` and `salt` are signed 64-bit, `seq_no` signed 32-bit; `session_id` and
    `auth_key_id` are 8 bytes, `auth_key` 256. The padding comes from the operating system's
    random source.

    Raises OverflowError for an integer out of range; ValueError("auth_key must be 256
    bytes"), ValueError("auth_key_id must be 8 bytes"), ValueError("session_id must be 8
    bytes"), ValueError("body must be shorter than 2**31 bytes"); OSError if the random
    source fails.

    Example: ``packed = pack_message(msg_id, seq_no, body, salt, session_id, auth_key, auth_key_id)``
    """

def unpack_message(
    packed: bytes, session_id: bytes, auth_key: bytes, auth_key_id: bytes, incoming: bool = True
) -> tuple[int, int, int, bytes, int]:
    """Checks, decrypts and verifies one packed message.

    Returns (msg_id, seq_no, body_length, body, len(packed) - 40). `incoming=True` reads
    what the other side packed; `incoming=False` reads what `pack_message` packed. The
    msg_key comparison is constant-time; salt and padding are not checked.

    Raises ValueError, the first that applies: "auth_key must be 256 bytes", "auth_key_id
    must be 8 bytes", "packed data too short", "auth_key_id mismatch", "msg_key mismatch",
    "session_id mismatch", "negative body length", "body length exceeds decrypted data".

    Example: ``msg_id, seq_no, length, body, _ = unpack_message(packed, session_id, auth_key, auth_key_id)``
    """
