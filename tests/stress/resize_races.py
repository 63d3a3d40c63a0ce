"""Resize races: calls on caller bytearray objects that other threads resize meanwhile, for a
number of seconds, every successful call's output checked against an independent oracle.

  short  ctr256_encrypt and ctr256_encrypt_inplace of 64 bytes (below the lock-release
         threshold) on one shared iv and state, which another thread empties and refills
         (`iv[:] = b""`, then the counter back) or grows and truncates back
         (`iv.extend(...)`, `del iv[16:]`);
  batch  ctr256_encrypt_batch of four items whose ivs, states and sizes another thread grows and
         truncates back.

Whichever thread wins, a call either succeeds, its output the keystream of a counter the stream
could have reached (recovered from the output and checked block by block), or is refused with
ValueError or RuntimeError; a resize either succeeds or fails with BufferError (the object was
pinned). Anything else is counted as wrong. Prints the counts; exits 1 on any wrong outcome.

Usage: resize_races.py {short,batch} SECONDS [PACE]
PACE: the longest pause, in seconds, between resizes (a random part of it each time); none by
default, the other thread resizing as fast as it can.
"""

import os
import random
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))

import dallowgate  # noqa: E402
from oracles import aes_ecb, ctr_stream  # noqa: E402

KEY = bytes(range(32))
COUNTER = bytes.fromhex("0123456789abcdeffedcba9876543210")
CALLERS = 2


class Counts:
    def __init__(self):
        self.lock = threading.Lock()
        self.values = {}

    def add(self, name):
        with self.lock:
            self.values[name] = self.values.get(name, 0) + 1


def started_from(data, out):
    """The counter a call's keystream began at (position 0), or None if no counter gives
    exactly this output."""
    keystream = bytes(a ^ b for a, b in zip(data[:16], out[:16]))
    counter = aes_ecb(KEY, enc=False).update(keystream)
    return counter if ctr_stream(data, KEY, counter, 0)[0] == out else None


def reachable(counter, start, step):
    """Whether `counter` is `start` advanced by whole calls of `step` blocks."""
    ahead = (int.from_bytes(counter, "big") - int.from_bytes(start, "big")) % 2 ** 128
    return ahead % step == 0 and ahead < 2 ** 40


def refused(error, counts):
    message = str(error)
    if isinstance(error, ValueError) and message in (
            "IV must be 16 bytes", "state must not be empty", "ivs must be 16*n bytes",
            "sizes must be 4*n bytes"):
        counts.add(f"refused: {message}")
    elif isinstance(error, RuntimeError) and message.endswith("was resized during the call"):
        counts.add(f"refused: {message}")
    else:
        counts.add(f"WRONG: {type(error).__name__}: {message}")


PACE = 0.0


def resizer(resizes, stop, counts):
    while not stop.is_set():
        for resize in resizes:
            if PACE:
                time.sleep(random.uniform(0, PACE))
            try:
                resize()
                counts.add("resized")
            except BufferError:
                counts.add("resize refused: BufferError")


def short_race(stop, counts):
    iv, state = bytearray(COUNTER), bytearray(1)
    data = os.urandom(64)

    def refill():
        iv[:] = b""
        iv[:] = COUNTER

    def grow_and_truncate():
        iv.extend(bytes(4096))
        del iv[16:]

    def state_refill():
        state[:] = b""
        state[:] = b"\0"

    def state_grow_and_truncate():
        state.extend(bytes(4096))
        del state[1:]

    def caller(inplace):
        while not stop.is_set():
            try:
                if inplace:
                    out = bytearray(data)
                    dallowgate.ctr256_encrypt_inplace(out, KEY, iv, state)
                else:
                    out = dallowgate.ctr256_encrypt(data, KEY, iv, state)
            except Exception as error:  # noqa: BLE001 (each kind is judged)
                refused(error, counts)
                continue
            counter = started_from(data, out)
            counts.add("ok" if counter and reachable(counter, COUNTER, 4) else "WRONG: output")

    return ([lambda: resizer([refill, grow_and_truncate, state_refill, state_grow_and_truncate],
                             stop, counts)]
            + [lambda i=i: caller(i % 2 == 1) for i in range(CALLERS)])


def batch_race(stop, counts):
    item_sizes = [96, 2000, 3008, 4992]  # whole blocks: every position stays 0
    starts = [os.urandom(8) + bytes(8) for _ in item_sizes]
    ivs, states = bytearray(b"".join(starts)), bytearray(len(item_sizes))
    sizes = bytearray(b"".join(size.to_bytes(4, "little") for size in item_sizes))
    flat = os.urandom(sum(item_sizes))

    def grow_and_truncate(target, keep):
        def resize():
            target.extend(bytes(16))
            del target[keep:]
        return resize

    def caller():
        while not stop.is_set():
            try:
                out = dallowgate.ctr256_encrypt_batch(flat, sizes, KEY, ivs, states)
            except Exception as error:  # noqa: BLE001 (each kind is judged)
                refused(error, counts)
                continue
            offset, good = 0, len(out) == len(flat)
            for start, size in zip(starts, item_sizes):
                item, result = flat[offset:offset + size], out[offset:offset + size]
                counter = started_from(item, result)
                good = good and counter is not None and reachable(counter, start, size // 16)
                offset += size
            counts.add("ok" if good else "WRONG: output")

    resizes = [grow_and_truncate(ivs, 16 * len(item_sizes)),
               grow_and_truncate(states, len(item_sizes)),
               grow_and_truncate(sizes, 4 * len(item_sizes))]
    return [lambda: resizer(resizes, stop, counts)] + [caller for _ in range(CALLERS)]


def main():
    global PACE
    race, seconds = {"short": short_race, "batch": batch_race}[sys.argv[1]], float(sys.argv[2])
    PACE = float(sys.argv[3]) if len(sys.argv) > 3 else 0.0
    stop, counts = threading.Event(), Counts()
    threads = [threading.Thread(target=work) for work in race(stop, counts)]
    for thread in threads:
        thread.start()
    time.sleep(seconds)
    stop.set()
    for thread in threads:
        thread.join()
    for name, count in sorted(counts.values.items()):
        print(f"{count:9} {name}")
    wrong = sum(count for name, count in counts.values.items() if name.startswith("WRONG"))
    ok = counts.values.get("ok", 0)
    print(f"{sys.argv[1]}: {ok} calls checked, {wrong} wrong")
    return 1 if wrong or not ok else 0


if __name__ == "__main__":
    sys.exit(main())
