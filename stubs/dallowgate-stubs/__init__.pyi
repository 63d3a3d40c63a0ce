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
    """Encrypts ``data`` with AES-256 in IGE mode.

    :param data: any length. The whole 16-byte blocks are encrypted; a trailing partial block
        is returned as it was, unencrypted.
    :param key: 32 bytes.
    :param iv: 32 bytes: the initial previous-ciphertext block, then the initial
        previous-plaintext block.
    :returns: new bytes of the length of ``data``.
    :raises ValueError: ``"Key must be 32 bytes"``, then ``"IV must be 32 bytes"``.

    No chaining state is handed back: a message split over two calls does not chain across
    them. Releases the interpreter lock from 2048 bytes of ``data`` on.

    .. code-block:: python

        import os
        import dallowgate

        key, iv = os.urandom(32), os.urandom(32)
        data = b"sixteen byte blk" * 4 + b"tail"
        encrypted = dallowgate.ige256_encrypt(data, key, iv)
        assert encrypted[-4:] == b"tail"  # a partial block is not encrypted
        assert dallowgate.ige256_decrypt(encrypted, key, iv) == data
    """

def ige256_decrypt(data: bytes, key: bytes, iv: bytes) -> bytes:
    """Decrypts ``data`` with AES-256 in IGE mode: the inverse of :func:`ige256_encrypt`.

    :param data: any length; a trailing partial block is returned as it was.
    :param key: 32 bytes.
    :param iv: 32 bytes, as given to :func:`ige256_encrypt`.
    :returns: new bytes of the length of ``data``.
    :raises ValueError: ``"Key must be 32 bytes"``, then ``"IV must be 32 bytes"``.

    Releases the interpreter lock from 2048 bytes of ``data`` on.

    .. code-block:: python

        import os
        import dallowgate

        key, iv, plaintext = os.urandom(32), os.urandom(32), os.urandom(4096)
        ciphertext = dallowgate.ige256_encrypt(plaintext, key, iv)
        assert dallowgate.ige256_decrypt(ciphertext, key, iv) == plaintext
    """

def ctr256_encrypt(src: bytes, key: bytes, iv: bytearray, state: bytearray) -> bytes:
    """Applies the AES-256-CTR keystream to ``src`` and returns the result.

    :param src: any length.
    :param key: 32 bytes.
    :param iv: 16 bytes: the counter block, one 128-bit big-endian integer (all 16 bytes
        count, and it wraps modulo 2**128). Advanced in place.
    :param state: at least 1 byte; ``state[0]`` is the number of keystream bytes of the
        current counter block already used, 0 to 15 (16 to 255 read as 0; later bytes are
        never touched). Advanced in place.
    :returns: new bytes of the length of ``src``.
    :raises ValueError: ``"Key must be 32 bytes"``, ``"IV must be 16 bytes"``,
        ``"state must not be empty"``, in this order.
    :raises RuntimeError: ``"iv was resized during the call"`` (or ``state``) if another
        thread resized one of them while the interpreter lock was released; nothing is
        written then.

    ``iv`` and ``state`` are rewritten so that a stream cut into calls of any lengths gives
    exactly what one call gives; with ``state[0] == 0`` the output is NIST SP 800-38A CTR
    with ``iv`` as the initial counter block. Releases the interpreter lock from 2048 bytes
    of ``src`` on.

    .. code-block:: python

        import os
        import dallowgate

        key, start = os.urandom(32), os.urandom(16)
        iv, state = bytearray(start), bytearray(1)
        part1 = dallowgate.ctr256_encrypt(b"the first part, ", key, iv, state)
        part2 = dallowgate.ctr256_encrypt(b"and the rest", key, iv, state)  # continues
        assert state[0] == 28 % 16
        whole = dallowgate.ctr256_decrypt(part1 + part2, key, bytearray(start), bytearray(1))
        assert whole == b"the first part, and the rest"
    """

def ctr256_decrypt(src: bytes, key: bytes, iv: bytearray, state: bytearray) -> bytes:
    """The same operation as :func:`ctr256_encrypt`: CTR decryption is encryption.

    Parameters, result, errors and the lock's release are those of :func:`ctr256_encrypt`.

    .. code-block:: python

        import os
        import dallowgate

        key, start, message = os.urandom(32), os.urandom(16), os.urandom(100)
        sent = dallowgate.ctr256_encrypt(message, key, bytearray(start), bytearray(1))
        assert dallowgate.ctr256_decrypt(sent, key, bytearray(start), bytearray(1)) == message
    """

def ctr256_encrypt_inplace(data: bytearray, key: bytes, iv: bytearray, state: bytearray) -> None:
    """As :func:`ctr256_encrypt`, with ``data`` rewritten where it lies (same object, same
    length), and no new bytes object made.

    :param data: a bytearray of any length, rewritten in place.
    :param key: 32 bytes.
    :param iv: as for :func:`ctr256_encrypt`; advanced in place.
    :param state: as for :func:`ctr256_encrypt`; advanced in place.
    :returns: None.
    :raises ValueError: ``"Key must be 32 bytes"``, ``"IV must be 16 bytes"``,
        ``"state must not be empty"``, in this order.

    From 2048 bytes on (where the interpreter lock is released) ``data``, ``iv`` and
    ``state`` are pinned for the call by a buffer export, as a :class:`memoryview` pins a
    bytearray: another thread that tries to resize one of them meanwhile gets
    :exc:`BufferError`, and the call completes as if it had not tried (on PyPy, and on
    free-threaded builds, see the manual's page on threads).

    .. code-block:: python

        import os
        import dallowgate

        key, start, message = os.urandom(32), os.urandom(16), os.urandom(5000)
        buffer = bytearray(message)
        dallowgate.ctr256_encrypt_inplace(buffer, key, bytearray(start), bytearray(1))
        dallowgate.ctr256_decrypt_inplace(buffer, key, bytearray(start), bytearray(1))
        assert buffer == message
    """

def ctr256_decrypt_inplace(data: bytearray, key: bytes, iv: bytearray, state: bytearray) -> None:
    """The same operation as :func:`ctr256_encrypt_inplace`.

    Parameters, result, errors and the lock's release are those of
    :func:`ctr256_encrypt_inplace`.

    .. code-block:: python

        import os
        import dallowgate

        key, start = os.urandom(32), os.urandom(16)
        buffer = bytearray(dallowgate.ctr256_encrypt(b"hello", key, bytearray(start), bytearray(1)))
        dallowgate.ctr256_decrypt_inplace(buffer, key, bytearray(start), bytearray(1))
        assert buffer == b"hello"
    """

def ctr256_encrypt_batch(
    data_flat: bytes, sizes: bytearray, key: bytes, ivs: bytearray, states: bytearray
) -> bytes:
    """Many independent CTR streams under one key in one call, over one flat buffer.

    With n = ``len(states)``, item k is transformed as :func:`ctr256_encrypt` would with
    counter block k and position k.

    :param data_flat: the items back to back; bytes after the last item pass through
        unchanged.
    :param sizes: n little-endian unsigned 32-bit item lengths (4·n bytes).
    :param key: 32 bytes.
    :param ivs: n counter blocks (16·n bytes); advanced in place.
    :param states: n keystream positions (n bytes); advanced in place.
    :returns: new bytes of the length of ``data_flat``; ``b""`` at once for an empty
        ``states`` (the argument types are still checked).
    :raises ValueError: ``"Key must be 32 bytes"``, ``"ivs must be 16*n bytes"``,
        ``"sizes must be 4*n bytes"``, ``"total data size overflow"``,
        ``"data_flat too short for given sizes"``, in this order.
    :raises RuntimeError: ``"ivs was resized during the call"`` (or ``states``) if another
        thread resized one of them meanwhile; nothing is written then.

    Releases the interpreter lock for every non-empty batch.

    .. code-block:: python

        import os
        import dallowgate

        key = os.urandom(32)
        items = [os.urandom(n) for n in (100, 0, 4096)]
        sizes = bytearray(b"".join(len(item).to_bytes(4, "little") for item in items))
        counters = os.urandom(16 * len(items))
        ivs, states = bytearray(counters), bytearray(len(items))
        out = dallowgate.ctr256_encrypt_batch(b"".join(items), sizes, key, ivs, states)
        ivs, states = bytearray(counters), bytearray(len(items))
        assert dallowgate.ctr256_decrypt_batch(out, sizes, key, ivs, states) == b"".join(items)
    """

def ctr256_decrypt_batch(
    data_flat: bytes, sizes: bytearray, key: bytes, ivs: bytearray, states: bytearray
) -> bytes:
    """The same operation as :func:`ctr256_encrypt_batch`.

    Parameters, result, errors and the lock's release are those of
    :func:`ctr256_encrypt_batch`.

    .. code-block:: python

        import os
        import dallowgate

        key, counter, item = os.urandom(32), os.urandom(16), os.urandom(300)
        sizes = bytearray(len(item).to_bytes(4, "little"))
        sealed = dallowgate.ctr256_encrypt_batch(item, sizes, key, bytearray(counter), bytearray(1))
        opened = dallowgate.ctr256_decrypt_batch(sealed, sizes, key, bytearray(counter), bytearray(1))
        assert opened == item
    """

def kdf(auth_key: bytes, msg_key: bytes, outgoing: bool) -> tuple[bytes, bytes]:
    """Derives the AES-256 key and IGE IV of one message.

    :param auth_key: 256 bytes.
    :param msg_key: any length, hashed whole (16 bytes in messages).
    :param outgoing: True for the direction we send (offset 0), False for the direction we
        receive (offset 8). ``True``, ``False`` or a numpy boolean; not ``1`` or ``0``.
    :returns: ``(key, iv)``, two bytes objects of 32.
    :raises ValueError: ``"auth_key must be 256 bytes"``.

    With ``d`` the offset, ``a = SHA256(msg_key + auth_key[d:d+36])``,
    ``b = SHA256(auth_key[d+40:d+76] + msg_key)``, ``key = a[:8] + b[8:24] + a[24:]`` and
    ``iv = b[:8] + a[8:24] + b[24:]``. Never releases the interpreter lock.

    .. code-block:: python

        import hashlib
        import os
        import dallowgate

        auth_key, msg_key = os.urandom(256), os.urandom(16)
        key, iv = dallowgate.kdf(auth_key, msg_key, True)
        a = hashlib.sha256(msg_key + auth_key[0:36]).digest()
        b = hashlib.sha256(auth_key[40:76] + msg_key).digest()
        assert (key, iv) == (a[:8] + b[8:24] + a[24:], b[:8] + a[8:24] + b[24:])
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
    """Packs one outgoing message.

    :param msg_id: signed 64-bit integer.
    :param seq_no: signed 32-bit integer.
    :param body: the serialised message, shorter than 2**31 bytes.
    :param salt: signed 64-bit integer.
    :param session_id: 8 bytes.
    :param auth_key: 256 bytes.
    :param auth_key_id: 8 bytes.
    :returns: ``auth_key_id``, the 16-byte ``msg_key``, then the AES-256-IGE encryption of
        the plaintext (``salt``, ``session_id``, ``msg_id``, ``seq_no`` and the body's length,
        little-endian, then ``body`` and 12 to 27 bytes of random padding to a multiple of 16):
        ``24 + (len(body) + 59) // 16 * 16`` bytes in all.
    :raises OverflowError: for an integer out of range.
    :raises ValueError: ``"auth_key must be 256 bytes"``, ``"auth_key_id must be 8 bytes"``,
        ``"session_id must be 8 bytes"``, ``"body must be shorter than 2**31 bytes"``, in this
        order.
    :raises OSError: (with its ``errno``) if the operating system's random source fails.

    ``msg_key`` is bytes 8 to 23 of SHA-256(``auth_key[88:120]`` + plaintext); the key and IV
    are ``kdf(auth_key, msg_key, True)``. Releases the interpreter lock from 2048 packed bytes
    on.

    .. code-block:: python

        import os
        import dallowgate

        auth_key, auth_key_id, session_id = os.urandom(256), os.urandom(8), os.urandom(8)
        body = b"a serialised request"
        packed = dallowgate.pack_message(4, 1, body, 0x1234, session_id, auth_key, auth_key_id)
        assert len(packed) == 24 + (len(body) + 59) // 16 * 16
        assert packed[:8] == auth_key_id
    """

def unpack_message(
    packed: bytes, session_id: bytes, auth_key: bytes, auth_key_id: bytes, incoming: bool = True
) -> tuple[int, int, int, bytes, int]:
    """Checks, decrypts and verifies one packed message.

    :param packed: a packed message, as :func:`pack_message` makes them.
    :param session_id: the session's 8 bytes (any other length is a mismatch).
    :param auth_key: 256 bytes.
    :param auth_key_id: 8 bytes.
    :param incoming: True (the default) for messages the other side packed (direction offset
        8), False for messages packed with :func:`pack_message`.
    :returns: ``(msg_id, seq_no, body_length, body, len(packed) - 40)``; the last item is the
        decrypted length less 16, so the padding is ``result[4] - 16 - body_length`` bytes.
    :raises ValueError: the first that applies: ``"auth_key must be 256 bytes"``,
        ``"auth_key_id must be 8 bytes"``, ``"packed data too short"`` (under 24 bytes),
        ``"auth_key_id mismatch"``, ``"msg_key mismatch"`` (ciphertext under 32 bytes, or the
        computed ``msg_key`` differs), ``"session_id mismatch"``, ``"negative body length"``,
        ``"body length exceeds decrypted data"``.

    The ``msg_key`` comparison is constant-time; salt, padding and ``msg_id`` are not checked
    (see the manual's security page for what the caller must check). Releases the interpreter
    lock from 2048 bytes of ciphertext (``len(packed) - 24``) on.

    .. code-block:: python

        import os
        import dallowgate

        auth_key, auth_key_id, session_id = os.urandom(256), os.urandom(8), os.urandom(8)
        packed = dallowgate.pack_message(4, 1, b"ping", 0, session_id, auth_key, auth_key_id)
        fields = dallowgate.unpack_message(packed, session_id, auth_key, auth_key_id, incoming=False)
        assert fields == (4, 1, 4, b"ping", len(packed) - 40)
    """
