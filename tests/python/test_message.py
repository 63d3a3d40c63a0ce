import os
import struct
import subprocess
import sys
import threading

import dallowgate
import pytest

from oracles import kdf, msg_key_of, open_packed, padding_size, plaintext_of, seal

AUTH_KEY = bytes((i * 37 + 11) % 256 for i in range(256))
AUTH_KEY_ID = bytes.fromhex("0102030405060708")
SESSION_ID = bytes.fromhex("a1a2a3a4a5a6a7a8")


def pack(body, msg_id=0x1122334455667788, seq_no=7, salt=-5, session_id=SESSION_ID,
         auth_key=AUTH_KEY, auth_key_id=AUTH_KEY_ID):
    return dallowgate.pack_message(msg_id, seq_no, body, salt, session_id, auth_key, auth_key_id)


def unpack(packed, session_id=SESSION_ID, auth_key=AUTH_KEY, auth_key_id=AUTH_KEY_ID, **kw):
    return dallowgate.unpack_message(packed, session_id, auth_key, auth_key_id, **kw)


def rejection(packed, **kw):
    with pytest.raises(ValueError) as info:
        unpack(packed, **kw)
    return info.value.args[0]


# --- packing ---------------------------------------------------------------------------------

@pytest.mark.parametrize("size", list(range(0, 301)) + [1024 * 1024, 3 * 1024 * 1024])
def test_round_trip(size):
    body = os.urandom(size)
    packed = pack(body)
    assert type(packed) is bytes
    assert len(packed) == 24 + 32 + size + padding_size(size)
    assert unpack(packed, incoming=False) == (0x1122334455667788, 7, size, body, len(packed) - 40)


@pytest.mark.parametrize("size,packed_size,padding", [
    (0, 72, 16), (4, 72, 12), (5, 88, 27), (20, 88, 12), (21, 104, 27), (1972, 2040, 12),
    (1973, 2056, 27),
])
def test_layout_checked_independently(size, packed_size, padding):
    body = os.urandom(size)
    packed = dallowgate.pack_message(-1, -2, body, 0x0102030405060708, SESSION_ID, AUTH_KEY, AUTH_KEY_ID)
    assert len(packed) == packed_size
    assert packed[:8] == AUTH_KEY_ID
    plaintext = open_packed(packed, AUTH_KEY)
    assert len(plaintext) == 32 + size + padding
    assert packed[8:24] == msg_key_of(AUTH_KEY, plaintext, 0)
    salt, session_id, msg_id, seq_no, length = struct.unpack("<q8sqiI", plaintext[:32])
    assert (salt, session_id, msg_id, seq_no, length) == (0x0102030405060708, SESSION_ID, -1, -2, size)
    assert plaintext[16:24] == b"\xff" * 8
    assert plaintext[32:32 + size] == body


def test_key_and_iv_are_those_of_kdf():
    packed = pack(b"hello")
    key, iv = dallowgate.kdf(AUTH_KEY, packed[8:24], True)
    assert (key, iv) == kdf(AUTH_KEY, packed[8:24], 0)
    from oracles import ige_decrypt
    assert ige_decrypt(packed[24:], key, iv)[32:37] == b"hello"


def test_two_packs_differ_but_share_the_key_id():
    first, second = pack(b"same"), pack(b"same")
    assert first != second
    assert first[:8] == second[:8] == AUTH_KEY_ID
    assert first[8:24] != second[8:24]


def test_default_direction_refuses_our_own_message():
    assert rejection(pack(b"x" * 10)) == "msg_key mismatch"


@pytest.mark.parametrize("kwargs,error", [
    ({"seq_no": 2 ** 31}, OverflowError), ({"msg_id": 2 ** 63}, OverflowError),
    ({"salt": -2 ** 63 - 1}, OverflowError), ({"msg_id": 1.0}, TypeError),
    ({"body": bytearray(b"x"), "auth_key": bytes(255)}, TypeError),
])
def test_argument_errors(kwargs, error):
    with pytest.raises(error):
        pack(**{"body": b"", **kwargs})


def test_extreme_integers_are_accepted():
    packed = pack(b"", msg_id=-2 ** 63, seq_no=-1, salt=2 ** 63 - 1)
    assert unpack(packed, incoming=False)[:2] == (-2 ** 63, -1)


@pytest.mark.parametrize("kwargs,message", [
    ({"auth_key": bytes(255), "session_id": bytes(7)}, "auth_key must be 256 bytes"),
    ({"auth_key": bytes(257)}, "auth_key must be 256 bytes"),
    ({"auth_key_id": bytes(7), "session_id": bytes(7)}, "auth_key_id must be 8 bytes"),
    ({"session_id": bytes(7)}, "session_id must be 8 bytes"),
    ({"session_id": bytes(9)}, "session_id must be 8 bytes"),
])
def test_pack_length_errors_in_order(kwargs, message):
    with pytest.raises(ValueError) as info:
        pack(b"body", **kwargs)
    assert info.value.args == (message,)


def test_body_of_2_to_the_31_bytes_is_refused_after_the_length_checks():
    body = bytes(2 ** 31)
    with pytest.raises(ValueError, match="session_id must be 8 bytes"):
        pack(body, session_id=b"")
    with pytest.raises(ValueError) as info:
        pack(body)
    assert info.value.args == ("body must be shorter than 2**31 bytes",)


@pytest.mark.skipif(not hasattr(os, "fork"), reason="needs fork")
def test_padding_is_not_repeated_in_a_forked_child():
    pack(b"x")  # the parent has drawn random bytes before the fork
    read_end, write_end = os.pipe()
    child = os.fork()
    if child == 0:  # pragma: no cover (the child)
        try:
            os.write(write_end, pack(b"same message"))
        finally:
            os._exit(0)
    os.close(write_end)
    in_child = b""
    while chunk := os.read(read_end, 4096):
        in_child += chunk
    os.close(read_end)
    os.waitpid(child, 0)
    in_parent = pack(b"same message")
    # Same fields and key: only the padding (and what follows from it) can differ.
    assert len(in_child) == len(in_parent)
    assert in_child != in_parent


def test_random_source_failure_is_reported(pytestconfig):
    shim = pytestconfig.getoption("failing_random_shim")
    if not shim:
        pytest.skip("needs --failing-random-shim (libfailing_getrandom.so from the C++ test build)")
    script = (
        "import ctypes, errno, dallowgate\n"
        "ctypes.CDLL(None).fail_getrandom(errno.EIO)\n"
        "try:\n"
        "    dallowgate.pack_message(1, 2, b'body', 3, bytes(8), bytes(256), bytes(8))\n"
        "except OSError as error:\n"
        "    print(type(error).__name__, error.errno)\n"
        "else:\n"
        "    print('packed')\n"
    )
    # After anything already preloaded (a sanitizer runtime must stay first).
    preload = " ".join(filter(None, [os.environ.get("LD_PRELOAD"), str(shim)]))
    env = dict(os.environ, LD_PRELOAD=preload, PYTHONHASHSEED="0")
    done = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True,
                          timeout=60)
    assert done.stdout.split() == ["OSError", "5"], done.stderr


# --- unpacking -------------------------------------------------------------------------------

def incoming_message(body=b"payload", offset=8, **kw):
    fields = dict(msg_id=77, seq_no=3, body=body, salt=11, session_id=SESSION_ID)
    fields.update(kw)
    return seal(plaintext_of(**fields), AUTH_KEY, AUTH_KEY_ID, offset)


def test_message_from_the_other_side_unpacks_by_default():
    packed = incoming_message(b"from the server")
    assert unpack(packed) == (77, 3, 15, b"from the server", len(packed) - 40)
    assert unpack(packed, incoming=True) == unpack(packed)
    assert rejection(packed, incoming=False) == "msg_key mismatch"


def test_salt_has_no_effect():
    assert unpack(incoming_message(salt=1))[:4] == unpack(incoming_message(salt=-99))[:4]


def test_padding_may_have_any_length():
    for padding in (b"", b"p" * 16, b"q" * 100):
        plaintext = plaintext_of(5, 6, b"sixteen  bytes!!", 0, SESSION_ID, padding=padding)
        assert unpack(seal(plaintext, AUTH_KEY, AUTH_KEY_ID, 8))[3] == b"sixteen  bytes!!"


def test_trailing_partial_block_is_hashed_but_not_decrypted():
    plaintext = plaintext_of(5, 6, b"", 0, SESSION_ID, padding=b"z" * 16)
    packed = seal(plaintext, AUTH_KEY, AUTH_KEY_ID, 8, tail=b"tail!")
    assert unpack(packed) == (5, 6, 0, b"", len(packed) - 40)


@pytest.mark.parametrize("tail", [b"", b"t", b"t" * 15])
def test_every_hashed_length_around_the_sha256_blocks(tail):
    # The hashed message is 32 bytes of auth_key and the plaintext: lengths 64 to 416 cover
    # every position of the plaintext's end within a SHA-256 block, the oracle's msg_key from
    # hashlib.
    for padding_size in range(0, 336, 16):
        plaintext = plaintext_of(1, 2, b"", 3, SESSION_ID, padding=bytes(i % 251 for i in range(padding_size)))
        assert unpack(seal(plaintext, AUTH_KEY, AUTH_KEY_ID, 8, tail=tail))[:3] == (1, 2, 0)


def flip(data, index):
    return data[:index] + bytes([data[index] ^ 1]) + data[index + 1:]


@pytest.mark.parametrize("case,expected", [
    ("auth_key 255, packed 10", "auth_key must be 256 bytes"),
    ("auth_key_id 7, packed 10", "auth_key_id must be 8 bytes"),
    ("packed 23", "packed data too short"),
    ("key id changed", "auth_key_id mismatch"),
    ("packed 24", "msg_key mismatch"),
    ("packed 55", "msg_key mismatch"),
    ("ciphertext changed", "msg_key mismatch"),
    ("last byte changed", "msg_key mismatch"),
    ("msg_key changed", "msg_key mismatch"),
    ("session_id 7, message bad", "msg_key mismatch"),
    ("session_id 7", "session_id mismatch"),
    ("session_id other", "session_id mismatch"),
    ("session_id in message other", "session_id mismatch"),
    ("length -1", "negative body length"),
    ("length top bit", "negative body length"),
    ("length n-31", "body length exceeds decrypted data"),
    ("length 2**31-1", "body length exceeds decrypted data"),
])
def test_rejections_in_order(case, expected):
    good = incoming_message(b"x" * 40)
    kw = {}
    packed = {
        "auth_key 255, packed 10": AUTH_KEY_ID + b"\0\0",
        "auth_key_id 7, packed 10": AUTH_KEY_ID + b"\0\0",
        "packed 23": AUTH_KEY_ID + bytes(15),
        "key id changed": flip(good, 3),
        "packed 24": good[:24],
        "packed 55": good[:55],
        "ciphertext changed": flip(good, 40),
        "last byte changed": flip(good, len(good) - 1),
        "msg_key changed": flip(good, 8),
        "session_id 7, message bad": flip(good, 30),
        "session_id 7": good,
        "session_id other": good,
        "session_id in message other": incoming_message(b"x", session_id=bytes(8)),
        "length -1": incoming_message(b"", length_field=-1),
        "length top bit": incoming_message(b"", length_field=-2 ** 31),
        "length n-31": incoming_message(b"", padding=b"p" * 16, length_field=17),
        "length 2**31-1": incoming_message(b"", length_field=2 ** 31 - 1),
    }[case]
    if case.startswith("auth_key 255"):
        kw["auth_key"] = AUTH_KEY[:255]
    if case.startswith("auth_key_id 7"):
        kw["auth_key_id"] = AUTH_KEY_ID[:7]
    if case.startswith("session_id 7"):
        kw["session_id"] = SESSION_ID[:7]
    if case == "session_id other":
        kw["session_id"] = bytes(8)
    assert rejection(packed, **kw) == expected


def test_body_length_of_exactly_n_minus_32_is_accepted():
    plaintext = plaintext_of(1, 2, b"b" * 16, 0, SESSION_ID, padding=b"")
    packed = seal(plaintext, AUTH_KEY, AUTH_KEY_ID, 8)
    assert unpack(packed) == (1, 2, 16, b"b" * 16, 32)


def test_unpack_argument_errors():
    packed = incoming_message()
    with pytest.raises(TypeError, match="'None' is not an instance of 'bool'"):
        unpack(packed, incoming=None)
    with pytest.raises(TypeError, match="'bytearray' object is not an instance of 'bytes'"):
        unpack(bytearray(packed))
    with pytest.raises(TypeError, match="unpack_message\\(\\) takes from 4 to 5 positional arguments but 6 were given"):
        dallowgate.unpack_message(packed, SESSION_ID, AUTH_KEY, AUTH_KEY_ID, True, True)


@pytest.mark.parametrize("ciphertext_size", [2032, 2047, 2048, 2049, 2064])
def test_lock_boundary_gives_the_same_results(ciphertext_size):
    body = b"m" * 100
    padding = b"p" * (ciphertext_size // 16 * 16 - 132)
    tail = b"t" * (ciphertext_size % 16)
    plaintext = plaintext_of(9, 8, body, 7, SESSION_ID, padding=padding)
    packed = seal(plaintext, AUTH_KEY, AUTH_KEY_ID, 8, tail=tail)
    assert len(packed) - 24 == ciphertext_size
    assert unpack(packed) == (9, 8, 100, body, ciphertext_size - 16)


def test_threads_pack_and_unpack_in_parallel():
    bodies = [os.urandom(size) for size in (0, 100, 1973, 5000, 300_000, 2 * 1024 * 1024) * 3]
    failures = []

    def work(body):
        for _ in range(3):
            packed = pack(body)
            if unpack(packed, incoming=False)[3] != body:
                failures.append(len(body))

    threads = [threading.Thread(target=work, args=(body,)) for body in bodies]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failures == []
