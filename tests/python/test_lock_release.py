"""Which calls let other Python threads run while they work.

The switch interval is made so long that the interpreter never asks the calling thread to
yield: another thread that is ready to run then runs during a call only if the call releases
the interpreter lock. What is asserted does not depend on timing: a release is retried until
the other thread got in, and a call that keeps the lock never lets it in. On a free-threaded
build there is no lock to keep: every call lets other threads run."""

import os
import platform
import subprocess
import sys
import sysconfig
import threading

import dallowgate
import pytest

KEY, IV32, AUTH_KEY, ID8 = os.urandom(32), os.urandom(32), os.urandom(256), os.urandom(8)
LONG = 8 * 2 ** 20
SHORT = 2047  # one byte under the threshold
FREE_THREADED = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))


def other_thread_ran_during(call, tries):
    """Whether the other thread ran during one of up to `tries` calls. A call that releases
    the lock lets it in unless the call ends before the thread is scheduled (a loaded machine),
    hence several tries; a call that never releases it never lets it in, however many."""
    previous = sys.getswitchinterval()
    sys.setswitchinterval(1000.0)
    go, ran = threading.Event(), []
    thread = threading.Thread(target=lambda: (go.wait(), ran.append(True)))
    thread.start()  # returns once the thread waits for `go`
    try:
        go.set()  # from here the other thread waits only for the interpreter lock
        for _ in range(tries):
            call()
            if ran:
                return True
        return False
    finally:
        sys.setswitchinterval(previous)
        thread.join()


def packed(body_size):
    return dallowgate.pack_message(1, 2, bytes(body_size), 3, ID8, AUTH_KEY, ID8)


def ctr(size):
    return lambda: dallowgate.ctr256_encrypt(bytes(size), KEY, bytearray(16), bytearray(1))


def inplace(size):
    return lambda: dallowgate.ctr256_decrypt_inplace(bytearray(size), KEY, bytearray(16),
                                                     bytearray(1))


def batch(items, item_size):
    sizes = bytearray(item_size.to_bytes(4, "little") * items)
    return lambda: dallowgate.ctr256_encrypt_batch(bytes(items * item_size), sizes, KEY,
                                                   bytearray(16 * items), bytearray(items))


def unpack(body_size):
    message = packed(body_size)
    return lambda: dallowgate.unpack_message(message, ID8, AUTH_KEY, ID8, incoming=False)


@pytest.mark.parametrize("call", [
    lambda: dallowgate.ige256_encrypt(bytes(LONG), KEY, IV32),
    lambda: dallowgate.ige256_decrypt(bytes(LONG), KEY, IV32),
    ctr(LONG), inplace(LONG),
    lambda: packed(LONG), unpack(LONG),
    batch(1, LONG), batch(200_000, 16),
], ids=["ige_encrypt", "ige_decrypt", "ctr", "ctr_inplace", "pack", "unpack", "batch_one_item",
        "batch_of_small_items"])
def test_long_calls_let_other_threads_run(call):
    assert other_thread_ran_during(call, tries=100)


# pack_message counts the packed length (24 + padded plaintext), unpack_message the ciphertext
# (len(packed) - 24): a body of 1900 bytes gives 1976 and 1952, both under 2048.
@pytest.mark.parametrize("call", [
    lambda: dallowgate.ige256_encrypt(bytes(SHORT), KEY, IV32),
    lambda: dallowgate.ige256_decrypt(bytes(SHORT), KEY, IV32),
    ctr(SHORT), inplace(SHORT),
    lambda: packed(1900), unpack(1900),
    lambda: dallowgate.kdf(AUTH_KEY, bytes(LONG), True),
], ids=["ige_encrypt", "ige_decrypt", "ctr", "ctr_inplace", "pack", "unpack", "kdf_long_msg_key"])
@pytest.mark.skipif(platform.python_implementation() == "PyPy",
                    reason="PyPy may switch threads around a call while it converts large "
                           "objects for C code, whatever the call does with the lock")
def test_short_calls_and_kdf_keep_the_lock(call):
    if FREE_THREADED:  # nothing to keep: the other thread runs beside the calls
        assert other_thread_ran_during(call, tries=100_000)
    else:
        assert not other_thread_ran_during(call, tries=3)


@pytest.mark.skipif(not FREE_THREADED, reason="only free-threaded builds run without the lock")
def test_the_import_leaves_the_interpreter_lock_off():
    """The module declares that it runs without the lock: importing it turns nothing back on and
    warns of nothing (warnings are errors here), and the packages of this test run left it off
    too, so that the tests above ran without it."""
    subprocess.run([sys.executable, "-W", "error", "-c",
                    "import sys, dallowgate; assert not sys._is_gil_enabled()"], check=True,
                   env={**os.environ, "PYTHON_GIL": ""})
    assert not sys._is_gil_enabled()
