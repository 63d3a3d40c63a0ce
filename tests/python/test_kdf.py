import dallowgate
import pytest
from hypothesis import given, strategies as st

import oracles

auth_keys = st.binary(min_size=256, max_size=256)


def oracle(auth_key, msg_key, outgoing):
    return oracles.kdf(auth_key, msg_key, 0 if outgoing else 8)


@given(auth_keys, st.binary(min_size=16, max_size=16), st.booleans())
def test_matches_hashlib(auth_key, msg_key, outgoing):
    assert dallowgate.kdf(auth_key, msg_key, outgoing) == oracle(auth_key, msg_key, outgoing)


@pytest.mark.parametrize("size", [0, 1, 15, 17, 55, 56, 64, 1000, 100_000])
@pytest.mark.parametrize("outgoing", [True, False])
def test_msg_key_of_any_length_is_hashed_whole(size, outgoing):
    auth_key = bytes((7 * i + 3) % 256 for i in range(256))
    msg_key = bytes(i % 251 for i in range(size))
    assert dallowgate.kdf(auth_key, msg_key, outgoing) == oracle(auth_key, msg_key, outgoing)


def test_result_is_a_tuple_of_two_32_byte_bytes():
    result = dallowgate.kdf(bytes(256), bytes(16), True)
    assert type(result) is tuple and len(result) == 2
    assert all(type(item) is bytes and len(item) == 32 for item in result)


@given(auth_keys, st.binary(min_size=16, max_size=16), st.binary(min_size=8, max_size=8))
def test_incoming_direction_is_the_outgoing_one_shifted_by_eight(auth_key, msg_key, z):
    assert dallowgate.kdf(auth_key, msg_key, False) == dallowgate.kdf(auth_key[8:] + z, msg_key, True)


def test_directions_differ():
    auth_key = bytes(range(256))
    key_out, iv_out = dallowgate.kdf(auth_key, bytes(16), True)
    key_in, iv_in = dallowgate.kdf(auth_key, bytes(16), False)
    assert key_out != key_in and iv_out != iv_in


@pytest.mark.parametrize("size", [0, 255, 257, 512])
def test_auth_key_length(size):
    with pytest.raises(ValueError) as info:
        dallowgate.kdf(bytes(size), bytes(16), True)
    assert str(info.value) == "auth_key must be 256 bytes"
    assert info.value.args == ("auth_key must be 256 bytes",)


def test_type_errors_come_before_the_length_check():
    with pytest.raises(TypeError, match="'bytearray' object is not an instance of 'bytes'"):
        dallowgate.kdf(bytearray(256), bytes(16), True)
    with pytest.raises(TypeError, match="'bytearray' object is not an instance of 'bytes'") as info:
        dallowgate.kdf(bytes(255), bytearray(16), True)
    assert getattr(info.value, "__notes__", ["while processing 'msg_key'"]) == ["while processing 'msg_key'"]
    with pytest.raises(TypeError, match="'int' object is not an instance of 'bool'"):
        dallowgate.kdf(bytes(255), bytes(16), 1)
