import functools
import os
import pathlib
import platform
import random
import subprocess
import sys
import sysconfig
import threading
import time

import dallowgate
import pytest
from hypothesis import given, settings, strategies as st

from oracles import ctr_stream

KEY = bytes(range(32))
COUNTER = bytes.fromhex("0123456789abcdeffedcba9876543210")
LENGTHS = [0, 1, 15, 16, 17, 63, 64, 65, 127, 128, 129, 255, 256, 257, 2047, 2048, 2049, 70_001]
ENCRYPT = [dallowgate.ctr256_encrypt, dallowgate.ctr256_decrypt]
INPLACE = [dallowgate.ctr256_encrypt_inplace, dallowgate.ctr256_decrypt_inplace]
BATCH = [dallowgate.ctr256_encrypt_batch, dallowgate.ctr256_decrypt_batch]
PYPY = platform.python_implementation() == "PyPy"
FREE_THREADED = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))
# Free-threaded 3.13's bytearray resizes outside the object's critical section: there the module
# pins every caller bytearray for every call, and a resize meanwhile fails with BufferError.
PINS_EVERY_CALL = FREE_THREADED and sys.version_info < (3, 14)


def after_a_while():
    """Where there is no interpreter lock, a thread woken to resize does so at once, mostly before
    the call has even begun: a wait of up to 1 ms (about an 8 MiB call's length) lets some tries
    land inside it. (Under the lock, the thread runs only once the call releases it.)"""
    if FREE_THREADED:
        time.sleep(random.uniform(0, 0.001))


def run(fn, data, key=KEY, counter=COUNTER, position=0, state_tail=b""):
    iv, state = bytearray(counter), bytearray(bytes([position]) + state_tail)
    out = fn(data, key, iv, state)
    return out, bytes(iv), bytes(state)


@pytest.mark.parametrize("fn", ENCRYPT)
@pytest.mark.parametrize("size", LENGTHS)
def test_stream_rule_from_every_position(fn, size):
    data = os.urandom(size)
    for position in range(16):
        expected, counter, final = ctr_stream(data, KEY, COUNTER, position)
        out, iv, state = run(fn, data, position=position)
        assert type(out) is bytes
        assert (out, iv, state) == (expected, counter, bytes([final])), position


@pytest.mark.parametrize("fn", INPLACE)
@pytest.mark.parametrize("size", LENGTHS)
def test_inplace_equals_returning(fn, size):
    data = os.urandom(size)
    for position in (0, 5, 15):
        returned, iv_r, state_r = run(dallowgate.ctr256_encrypt, data, position=position)
        buffer = bytearray(data)
        none, iv, state = run(fn, buffer, position=position)
        assert none is None
        assert (bytes(buffer), iv, state) == (returned, iv_r, state_r)


def test_sp800_38a_ctr_aes256():
    key = bytes.fromhex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4")
    counter = bytes.fromhex("f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff")
    plaintext = bytes.fromhex(
        "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
        "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710")
    ciphertext = bytes.fromhex(
        "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c5"
        "2b0930daa23de94ce87017ba2d84988ddfc9c58db67aada613c2dd08457941a6")
    assert run(dallowgate.ctr256_encrypt, plaintext, key, counter)[0] == ciphertext
    assert run(dallowgate.ctr256_decrypt, ciphertext, key, counter)[0] == plaintext


@pytest.mark.parametrize("counter,after", [
    ("0000000000000011ffffffffffffffff", "00000000000000120000000000000000"),
    ("ffffffffffffffffffffffffffffffff", "00000000000000000000000000000000"),
    ("000000000000000000000000000000ff", "00000000000000000000000000000100"),
])
def test_counter_carries_across_all_sixteen_bytes(counter, after):
    data = os.urandom(16)
    out, iv, state = run(dallowgate.ctr256_encrypt, data, counter=bytes.fromhex(counter))
    assert iv == bytes.fromhex(after) and state == b"\0"
    assert out == ctr_stream(data, KEY, bytes.fromhex(counter), 0)[0]


@pytest.mark.parametrize("counter", ["00000000000000fffffffffffffffffd",
                                     "fffffffffffffffffffffffffffffffe"])
@pytest.mark.parametrize("position,size", [(0, 64), (5, 59), (3, 40), (15, 1), (0, 65), (15, 50)])
def test_short_calls_across_the_carry(counter, position, size):
    # Up to 64 keystream bytes from the block start are one four-block step; the carry of the
    # low half (or of all 128 bits) falls inside it.
    data = os.urandom(size)
    counter = bytes.fromhex(counter)
    output, final_counter, final_position = ctr_stream(data, KEY, counter, position)
    assert run(dallowgate.ctr256_encrypt, data, counter=counter, position=position) == \
        (output, final_counter, bytes([final_position]))


@pytest.mark.parametrize("position,size,advance,final", [(0, 16, 1, 0), (0, 20, 1, 4), (4, 5, 0, 9),
                                                         (4, 12, 1, 0)])
def test_position_and_counter_examples(position, size, advance, final):
    _, iv, state = run(dallowgate.ctr256_encrypt, bytes(size), position=position)
    assert int.from_bytes(iv, "big") == int.from_bytes(COUNTER, "big") + advance
    assert state == bytes([final])


@pytest.mark.parametrize("fn", ENCRYPT + INPLACE)
@pytest.mark.parametrize("state_byte", [16, 17, 200, 255])
def test_state_of_16_and_more_reads_as_zero(fn, state_byte):
    data = b"" if fn in ENCRYPT else bytearray()
    out, iv, state = run(fn, data, position=state_byte)
    assert iv == COUNTER and state == b"\0"
    assert out in (b"", None)
    sixteen = bytes(range(16))
    assert run(dallowgate.ctr256_encrypt, sixteen, position=state_byte)[0] == \
        run(dallowgate.ctr256_encrypt, sixteen, position=0)[0]


def test_bytes_after_the_first_of_state_are_untouched():
    _, _, state = run(dallowgate.ctr256_encrypt, os.urandom(37), position=3, state_tail=b"\xaa\xbb")
    assert state == bytes([(3 + 37) % 16]) + b"\xaa\xbb"


@settings(max_examples=60, deadline=None)
@given(st.binary(max_size=3000), st.lists(st.integers(0, 700), max_size=12), st.integers(0, 255),
       st.binary(min_size=16, max_size=16), st.randoms(use_true_random=False))
def test_a_stream_cut_into_pieces_equals_one_call(data, cuts, state_byte, counter, choices):
    whole, iv_whole, state_whole = run(dallowgate.ctr256_encrypt, data, counter=counter,
                                       position=state_byte)
    iv, state = bytearray(counter), bytearray([state_byte])
    pieces, start = [], 0
    for cut in sorted(min(c, len(data)) for c in cuts) + [len(data)]:
        if choices.random() < 0.5:  # drawn by hypothesis, so a failure replays
            pieces.append(dallowgate.ctr256_encrypt(data[start:cut], KEY, iv, state))
        else:
            buffer = bytearray(data[start:cut])
            dallowgate.ctr256_decrypt_inplace(buffer, KEY, iv, state)
            pieces.append(bytes(buffer))
        start = cut
    assert b"".join(pieces) == whole
    assert (bytes(iv), bytes(state)) == (iv_whole, state_whole)


def test_one_byte_results_leave_the_interpreters_shared_bytes_alone():
    # One-byte bytes objects are shared singletons; results must be new objects.
    for value in range(256):
        out = dallowgate.ctr256_encrypt(bytes([value]), KEY, bytearray(16), bytearray(1))
        assert out == bytes([value ^ ctr_stream(bytes(1), KEY, bytes(16), 0)[0][0]])
    assert all(bytes([value])[0] == value for value in range(256))
    flat = dallowgate.ctr256_encrypt_batch(b"\x00", bytearray(b"\x01\0\0\0"), KEY, bytearray(16), bytearray(1))
    assert len(flat) == 1 and b"\x00"[0] == 0


def test_twice_restores_the_input():
    data = os.urandom(1000)
    once = run(dallowgate.ctr256_encrypt, data, position=7)[0]
    assert run(dallowgate.ctr256_decrypt, once, position=7)[0] == data
    assert run(dallowgate.ctr256_encrypt, data, position=7) == run(dallowgate.ctr256_decrypt, data, position=7)


# --- errors: in order, and nothing written --------------------------------------------------

@pytest.mark.parametrize("fn", ENCRYPT + INPLACE)
@pytest.mark.parametrize("key_size,iv_size,state_size,message", [
    (31, 15, 0, "Key must be 32 bytes"),
    (33, 16, 1, "Key must be 32 bytes"),
    (32, 15, 0, "IV must be 16 bytes"),
    (32, 17, 1, "IV must be 16 bytes"),
    (32, 16, 0, "state must not be empty"),
])
def test_length_errors_in_order_write_nothing(fn, key_size, iv_size, state_size, message):
    data = os.urandom(50)
    src = data if fn in ENCRYPT else bytearray(data)
    iv, state = bytearray(os.urandom(iv_size)), bytearray(b"\x05" * state_size)
    before = (bytes(iv), bytes(state))
    with pytest.raises(ValueError) as info:
        fn(src, bytes(key_size), iv, state)
    assert info.value.args == (message,)
    assert (bytes(iv), bytes(state)) == before and bytes(src) == data


@pytest.mark.parametrize("fn", INPLACE)
def test_inplace_refuses_bytes_data_even_when_the_rest_is_right(fn):
    with pytest.raises(TypeError, match="'bytes' object is not an instance of 'bytearray'"):
        fn(b"data", KEY, bytearray(16), bytearray(1))


@pytest.mark.parametrize("args,message", [
    ((bytearray(4), KEY, bytearray(16), bytearray(1)), "'bytearray' object is not an instance of 'bytes'"),
    ((b"", KEY, bytes(16), bytearray(1)), "'bytes' object is not an instance of 'bytearray'"),
    ((b"", KEY, bytearray(16), b"\0"), "'bytes' object is not an instance of 'bytearray'"),
])
def test_returning_form_argument_kinds(args, message):
    with pytest.raises(TypeError, match=message):
        dallowgate.ctr256_encrypt(*args)


# --- batch -----------------------------------------------------------------------------------

def batch_inputs(sizes, trailing=b""):
    items = [os.urandom(size) for size in sizes]
    counters = [os.urandom(16) for _ in sizes]
    positions = [random.randrange(256) for _ in sizes]
    return items, counters, positions, b"".join(items) + trailing


def run_batch(fn, items, counters, positions, flat):
    sizes = bytearray(b"".join(len(item).to_bytes(4, "little") for item in items))
    ivs, states = bytearray(b"".join(counters)), bytearray(positions)
    out = fn(flat, sizes, KEY, ivs, states)
    return out, bytes(ivs), bytes(states)


@pytest.mark.parametrize("fn", BATCH)
def test_batch_items_equal_separate_calls(fn):
    items, counters, positions, flat = batch_inputs([0, 1, 16, 17, 100, 0, 4096, 129, 3], b"trailing")
    out, ivs, states = run_batch(fn, items, counters, positions, flat)
    expected, expected_ivs, expected_states = [], [], []
    for item, counter, position in zip(items, counters, positions):
        piece, iv, state = run(dallowgate.ctr256_encrypt, item, counter=counter, position=position)
        expected.append(piece)
        expected_ivs.append(iv)
        expected_states.append(state)
    assert out == b"".join(expected) + b"trailing"
    assert ivs == b"".join(expected_ivs) and states == b"".join(expected_states)


def test_batch_items_are_independent_of_their_order():
    items, counters, positions, flat = batch_inputs([10, 300, 0, 47])
    out, ivs, states = run_batch(dallowgate.ctr256_encrypt_batch, items, counters, positions, flat)
    order = [2, 0, 3, 1]
    shuffled = run_batch(dallowgate.ctr256_encrypt_batch, [items[i] for i in order],
                         [counters[i] for i in order], [positions[i] for i in order],
                         b"".join(items[i] for i in order))
    offsets = [0]
    for item in items:
        offsets.append(offsets[-1] + len(item))
    assert shuffled[0] == b"".join(out[offsets[i]:offsets[i + 1]] for i in order)
    assert shuffled[1] == b"".join(ivs[16 * i:16 * i + 16] for i in order)
    assert shuffled[2] == bytes(states[i] for i in order)


def test_batch_size_entries_are_little_endian():
    flat = os.urandom(16 * 2 ** 20 + 16)
    sizes = bytearray(b"\x10\x00\x00\x00" + b"\x00\x00\x00\x01")
    ivs, states = bytearray(32), bytearray(2)
    out = dallowgate.ctr256_encrypt_batch(flat, sizes, KEY, ivs, states)
    assert out[:16] == ctr_stream(flat[:16], KEY, bytes(16), 0)[0]
    assert out[16:] == ctr_stream(flat[16:], KEY, bytes(16), 0)[0]
    assert ivs[:16] == (1).to_bytes(16, "big") and ivs[16:] == (2 ** 20).to_bytes(16, "big")


@pytest.mark.parametrize("fn", BATCH)
def test_empty_states_give_empty_bytes_whatever_the_rest(fn):
    assert fn(b"data", bytearray(3), KEY, bytearray(5), bytearray()) == b""
    with pytest.raises(TypeError, match="'bytes' object is not an instance of 'bytearray'"):
        fn(b"data", bytearray(3), KEY, bytearray(5), b"")
    with pytest.raises(ValueError, match="Key must be 32 bytes"):
        fn(b"data", bytearray(3), KEY[:31], bytearray(5), bytearray())


@pytest.mark.parametrize("fn", BATCH)
@pytest.mark.parametrize("sizes,ivs,flat,key,message", [
    ([4, 4], 31, 8, 32, "ivs must be 16*n bytes"),
    ([4, 4], 33, 8, 32, "ivs must be 16*n bytes"),
    ([4, 4, None], 32, 8, 32, "sizes must be 4*n bytes"),
    ([4, 4, None], 31, 8, 32, "ivs must be 16*n bytes"),
    ([4, 5], 32, 8, 32, "data_flat too short for given sizes"),
    ([0xFFFFFFFF, 0xFFFFFFFF], 32, 8, 32, "data_flat too short for given sizes"),
    ([4, 5], 31, 8, 31, "Key must be 32 bytes"),
])
def test_batch_errors_in_order_write_nothing(fn, sizes, ivs, flat, key, message):
    size_bytes = bytearray(b"".join((s or 0).to_bytes(4, "little") for s in sizes if s is not None))
    if None in sizes:
        size_bytes += b"\0"  # one byte too many
    iv_bytes, states = bytearray(os.urandom(ivs)), bytearray([3, 200])
    before = (bytes(iv_bytes), bytes(states))
    with pytest.raises(ValueError) as info:
        fn(os.urandom(flat), size_bytes, bytes(key), iv_bytes, states)
    assert info.value.args == (message,)
    assert (bytes(iv_bytes), bytes(states)) == before


@pytest.mark.parametrize("position,bad,message", [
    (0, 1.5, "'float' object is not an instance of 'bytes'"),
    (1, b"\0" * 4, "'bytes' object is not an instance of 'bytearray'"),
    (2, bytearray(32), "'bytearray' object is not an instance of 'bytes'"),
    (3, bytes(16), "'bytes' object is not an instance of 'bytearray'"),
    (4, bytes(1), "'bytes' object is not an instance of 'bytearray'"),
])
def test_batch_argument_kinds(position, bad, message):
    args = [b"", bytearray(4), KEY, bytearray(16), bytearray(1)]
    args[position] = bad
    with pytest.raises(TypeError, match=message):
        dallowgate.ctr256_encrypt_batch(*args)


# --- another thread resizes a caller object while the lock is released -----------------------

@functools.lru_cache(maxsize=None)
def big():
    """64 MiB and 5 bytes (the 5 move the keystream position), made on first use."""
    return os.urandom(64 * 2 ** 20 + 5)


def resized_while_running(make, call, name, resize):
    """Runs `call(objects)` on fresh `objects = make()` while another thread resizes
    `objects[name]` once the lock is released, until a try in which the resize came during
    the call; returns that try's RuntimeError and objects. A try that the call won (it ran
    before or after the resize) leaves nothing behind: the next try starts from new objects."""
    for _ in range(300 if FREE_THREADED else 50):
        objects = make()
        ready = threading.Event()
        thread = threading.Thread(
            target=lambda: (ready.wait(), after_a_while(), resize(objects[name])))
        thread.start()
        try:
            ready.set()
            call(**objects)
        except RuntimeError as error:
            return error, objects
        except ValueError:
            pass  # the resize came first and the call refused the new length
        finally:
            thread.join()
    pytest.fail("the other thread never resized during the call")


def refused_while_running(make, call, name, resize):
    """Runs `call(**objects)` on fresh `objects = make()` while another thread tries to resize
    `objects[name]` once, until a try in which the resize was refused with BufferError (the
    object was pinned); returns that try's objects. A resize before the call is seen by it (and
    an iv or state of the wrong length refused); one after it changes only what the call left."""
    for _ in range(300 if FREE_THREADED else 50):
        objects, ready, refused = make(), threading.Event(), []

        def resize_during_call():
            ready.wait()
            after_a_while()
            try:
                resize(objects[name])
            except BufferError:
                refused.append(True)

        thread = threading.Thread(target=resize_during_call)
        thread.start()
        try:
            ready.set()
            call(**objects)
        except ValueError:
            pass  # the resize came first: an object of the wrong length is refused
        finally:
            thread.join()
        if refused:
            return objects
    pytest.fail("the other thread never tried to resize during the call")


def grow(target):
    target.append(0)


def empty(target):
    target.clear()


@pytest.mark.resize_race
@pytest.mark.parametrize("resize", [grow, empty])
@pytest.mark.parametrize("name", ["iv", "state"])
def test_returning_form_writes_nothing_if_iv_or_state_was_resized(name, resize):
    def make():
        return {"iv": bytearray(COUNTER), "state": bytearray(b"\x03\x04")}

    def call(iv, state):
        return dallowgate.ctr256_encrypt(big(), KEY, iv, state)

    if PINS_EVERY_CALL:  # pinned: the resize fails, and the call completes as without it
        objects, expected = refused_while_running(make, call, name, resize), make()
        call(**expected)
        assert objects == expected
        return
    error, objects = resized_while_running(make, call, name, resize)
    assert str(error) == f"{name} was resized during the call"
    expected = make()
    resize(expected[name])
    assert objects == expected


class BufferOfItsOwn(bytearray):
    """A bytearray whose Python-level buffer methods hand out other memory (honoured from 3.12
    on): pinning must still hold the bytearray itself."""

    def __buffer__(self, flags):
        return memoryview(bytes(8))

    def __release_buffer__(self, view):
        pass


INPLACE_RESIZES = pytest.mark.parametrize("name,resize,kind", [
    *((name, resize, bytearray) for name in ("data", "iv", "state") for resize in (grow, empty)),
    ("data", empty, BufferOfItsOwn),
])


def inplace_objects(kind):
    return {"data": kind(big()[:8 * 2 ** 20]), "iv": bytearray(COUNTER), "state": bytearray(b"\x03")}


@pytest.mark.resize_race
@pytest.mark.skipif(PYPY, reason="PyPy cannot pin a bytearray for C code")
@INPLACE_RESIZES
def test_inplace_pins_its_objects_while_the_lock_is_released(name, resize, kind):
    """A resize that comes during the call fails in the other thread with BufferError, and the
    call then completes exactly as without it."""
    def call(data, iv, state):
        dallowgate.ctr256_encrypt_inplace(data, KEY, iv, state)

    objects, expected = refused_while_running(lambda: inplace_objects(kind), call, name, resize), \
        inplace_objects(kind)
    call(**expected)
    assert objects == expected


@pytest.mark.resize_race
@pytest.mark.skipif(not PYPY, reason="only PyPy transforms a copy")
@INPLACE_RESIZES
def test_inplace_on_pypy_writes_nothing_if_an_object_was_resized(name, resize, kind):
    """With the lock released, PyPy runs the in-place form on a copy of data: a resize during
    the call goes through, and the call then fails as the returning form does."""
    error, objects = resized_while_running(
        lambda: inplace_objects(kind),
        lambda data, iv, state: dallowgate.ctr256_encrypt_inplace(data, KEY, iv, state), name, resize)
    assert str(error) == f"{name} was resized during the call"
    expected = inplace_objects(kind)
    resize(expected[name])
    assert objects == expected


@pytest.mark.resize_race
@pytest.mark.parametrize("resize", [grow, empty])
@pytest.mark.parametrize("name", ["ivs", "states"])
def test_batch_writes_nothing_if_ivs_or_states_was_resized(name, resize):
    sizes = bytearray(len(big()).to_bytes(4, "little"))

    def make():
        return {"ivs": bytearray(COUNTER), "states": bytearray(b"\x03")}

    def call(ivs, states):
        return dallowgate.ctr256_encrypt_batch(big(), sizes, KEY, ivs, states)

    if PINS_EVERY_CALL:  # pinned: the resize fails, and the call completes as without it
        objects, expected = refused_while_running(make, call, name, resize), make()
        call(**expected)
        assert objects == expected
        return
    error, objects = resized_while_running(make, call, name, resize)
    assert str(error) == f"{name} was resized during the call"
    expected = make()
    resize(expected[name])
    assert objects == expected


def test_threads_give_the_serial_results():
    inputs = [(os.urandom(size), os.urandom(16), random.randrange(16))
              for size in (2048, 5000, 300_000, 100, 3 * 2 ** 20) * 4]
    expected = [ctr_stream(data, KEY, counter, position) for data, counter, position in inputs]
    results = [None] * len(inputs)

    def work(index):
        data, counter, position = inputs[index]
        iv, state = bytearray(counter), bytearray([position])
        out = dallowgate.ctr256_encrypt(data, KEY, iv, state)
        results[index] = (out, bytes(iv), state[0])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(inputs))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == expected


def test_threads_sharing_iv_state_and_inplace_data_leave_them_whole():
    """Four threads run all three forms at once on one iv and one state, the in-place ones on the
    same data buffers (one short, one long), the batch ones with iv and state as its one item's.
    Whichever thread wins each write-back, every call succeeds, the objects keep their lengths,
    state holds a keystream position, and no call leaves an export behind (each object can be
    resized afterwards)."""
    iv, state = bytearray(16), bytearray(1)
    short, long = bytearray(os.urandom(100)), bytearray(os.urandom(20_000))
    flat = os.urandom(3000)
    sizes = bytearray(len(flat).to_bytes(4, "little"))
    calls = [
        lambda: dallowgate.ctr256_encrypt(flat[:50], KEY, iv, state),
        lambda: dallowgate.ctr256_encrypt(flat, KEY, iv, state),
        lambda: dallowgate.ctr256_encrypt_inplace(short, KEY, iv, state),
        lambda: dallowgate.ctr256_decrypt_inplace(long, KEY, iv, state),
        lambda: dallowgate.ctr256_encrypt_batch(flat, sizes, KEY, iv, state),
    ]
    failures = []

    def work(first):
        try:
            for i in range(60):
                calls[(first + i) % len(calls)]()
        except BaseException as failure:  # noqa: B036 (reported below, whatever it is)
            failures.append(failure)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failures == []
    assert (len(iv), len(state), len(short), len(long)) == (16, 1, 100, 20_000)
    assert state[0] < 16
    for target in (iv, state, short, long):
        target.append(0)



RACES = pathlib.Path(__file__).resolve().parents[1] / "stress" / "resize_races.py"


@pytest.mark.resize_race
@pytest.mark.skipif(PINS_EVERY_CALL, reason="free-threaded 3.13's bytearray can be resized "
                    "while a call uses it (its resizes take no critical section, and one that "
                    "passed its check of the exports before a pin still completes): CPython "
                    "itself, module or not, can crash under such a race there")
@pytest.mark.parametrize("race", ["short", "batch"])
def test_calls_while_another_thread_resizes_their_objects(race):
    """Short calls (returning and in place) on one shared iv and state, or batches, while another
    thread keeps resizing those objects (tests/stress/resize_races.py, in a process of its own
    so that a crash or a hang fails the test rather than the run): no crash, no hang, every
    successful call's output the keystream of a counter the stream could have reached (checked
    against the oracle), and every refusal one of the documented ones."""
    result = subprocess.run([sys.executable, str(RACES), race, "2" if FREE_THREADED else "1",
                             "0.0005"], capture_output=True, text=True, timeout=120,
                            env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert result.returncode == 0, result.stdout + result.stderr
