import os
import random
import threading

import dallowgate
import pytest

from oracles import aes_block, ige_decrypt, ige_encrypt

KEY = bytes(range(100, 132))
IV = bytes(range(200, 232))
LENGTHS = [0, 1, 15, 16, 17, 31, 32, 33, 2047, 2048, 2049]
RANDOM_LENGTHS = [random.Random(7).randrange(2049, 3 * 1024 * 1024) for _ in range(2)] + [3 * 1024 * 1024]


@pytest.mark.parametrize("size", LENGTHS + RANDOM_LENGTHS)
def test_matches_the_oracle_both_ways(size):
    data = os.urandom(size)
    key, iv = os.urandom(32), os.urandom(32)
    encrypted = dallowgate.ige256_encrypt(data, key, iv)
    assert type(encrypted) is bytes and len(encrypted) == size
    assert encrypted == ige_encrypt(data, key, iv)
    assert dallowgate.ige256_decrypt(data, key, iv) == ige_decrypt(data, key, iv)
    assert dallowgate.ige256_decrypt(encrypted, key, iv) == data


def test_tail_is_carried_unchanged():
    data = os.urandom(32)
    assert dallowgate.ige256_encrypt(data[:15], KEY, IV) == data[:15]
    seventeen = dallowgate.ige256_encrypt(data[:17], KEY, IV)
    assert seventeen[:16] == dallowgate.ige256_encrypt(data, KEY, IV)[:16]
    assert seventeen[16] == data[16]


def test_iv_halves():
    block = os.urandom(16)
    c_prev, p_prev = os.urandom(16), os.urandom(16)
    xor = lambda a, b: bytes(x ^ y for x, y in zip(a, b))  # noqa: E731
    # Previous-plaintext half zero: plain AES of the block XORed with the first half.
    assert dallowgate.ige256_encrypt(block, KEY, c_prev + bytes(16)) == aes_block(KEY, xor(block, c_prev))
    # Previous-ciphertext half zero: AES of the block itself, XORed with the second half.
    assert dallowgate.ige256_encrypt(block, KEY, bytes(16) + p_prev) == xor(aes_block(KEY, block), p_prev)
    assert dallowgate.ige256_encrypt(block, KEY, c_prev + p_prev) != dallowgate.ige256_encrypt(
        block, KEY, p_prev + c_prev)


def test_no_chaining_state_is_kept_between_calls():
    data = os.urandom(64)
    whole = dallowgate.ige256_encrypt(data, KEY, IV)
    assert dallowgate.ige256_encrypt(data[32:], KEY, IV) != whole[32:]
    assert dallowgate.ige256_encrypt(data, KEY, IV) == whole


@pytest.mark.parametrize("fn", [dallowgate.ige256_encrypt, dallowgate.ige256_decrypt])
@pytest.mark.parametrize("key_size,iv_size,message", [
    (31, 32, "Key must be 32 bytes"),
    (33, 32, "Key must be 32 bytes"),
    (0, 0, "Key must be 32 bytes"),
    (31, 16, "Key must be 32 bytes"),
    (32, 16, "IV must be 32 bytes"),
    (32, 33, "IV must be 32 bytes"),
    (32, 0, "IV must be 32 bytes"),
])
def test_length_errors_in_order(fn, key_size, iv_size, message):
    with pytest.raises(ValueError) as info:
        fn(b"x" * 48, bytes(key_size), bytes(iv_size))
    assert info.value.args == (message,)


@pytest.mark.parametrize("fn", [dallowgate.ige256_encrypt, dallowgate.ige256_decrypt])
@pytest.mark.parametrize("position", [0, 1, 2])
def test_bytearray_of_the_right_length_is_a_type_error(fn, position):
    args = [bytes(32), bytes(32), bytes(32)]
    args[position] = bytearray(32)
    original = bytes(args[position])
    with pytest.raises(TypeError, match="'bytearray' object is not an instance of 'bytes'"):
        fn(*args)
    assert args[position] == original


def test_length_error_after_a_large_call_leaves_later_calls_right():
    big = os.urandom(3 * 1024 * 1024)
    dallowgate.ige256_encrypt(big, KEY, IV)
    with pytest.raises(ValueError):
        dallowgate.ige256_encrypt(big, KEY[:31], IV)
    small = os.urandom(100)
    assert dallowgate.ige256_encrypt(small, KEY, IV) == ige_encrypt(small, KEY, IV)


@pytest.mark.parametrize("sizes", [
    [100, 2 * 1024 * 1024, 50, 2 * 1024 * 1024 + 16, 4000, 1],
    [2 * 1024 * 1024 + 1, 2 * 1024 * 1024, 2 * 1024 * 1024 - 1, 0],
])
def test_scratch_buffer_reuse_below_and_above_the_keep_limit(sizes):
    # The thread's working buffer is kept up to 2 MiB and dropped above; results never
    # depend on what an earlier call left in it.
    for size in sizes:
        data = os.urandom(size)
        encrypted = dallowgate.ige256_encrypt(data, KEY, IV)
        assert dallowgate.ige256_decrypt(encrypted, KEY, IV) == data
        if size <= 4000:
            assert encrypted == ige_encrypt(data, KEY, IV)


def test_threads_give_the_serial_results():
    inputs = [(os.urandom(size), os.urandom(32), os.urandom(32))
              for size in [2048, 2049, 5000, 100_000, 2 * 1024 * 1024 + 5, 300, 2047] * 3]
    expected = [dallowgate.ige256_encrypt(*item) for item in inputs]
    results = [None] * len(inputs)
    barrier = threading.Barrier(len(inputs))

    def work(index):
        barrier.wait()
        for _ in range(3):
            encrypted = dallowgate.ige256_encrypt(*inputs[index])
            decrypted = dallowgate.ige256_decrypt(encrypted, *inputs[index][1:])
            results[index] = (encrypted, decrypted == inputs[index][0])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(inputs))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert [r[0] for r in results] == expected
    assert all(r[1] for r in results)
