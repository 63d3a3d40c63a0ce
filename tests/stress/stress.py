"""Eight threads call all eleven functions at once, with inputs from 0 to 256 KiB, and every
result must equal the single-threaded answer. Counts calls; no timing is asserted.

Usage: python stress.py [CALLS_PER_THREAD]"""

import os
import random
import sys
import threading

import dallowgate as d

THREADS = 8
SIZES = [0, 1, 15, 16, 17, 2047, 2048, 4099, 65536, 100_003, 256 * 1024]
AUTH_KEY, ID8, SESSION = os.urandom(256), os.urandom(8), os.urandom(8)


def ctr_case(fn, size):
    data, key, counter, position = os.urandom(size), os.urandom(32), os.urandom(16), random.randrange(16)

    def call():
        iv, state = bytearray(counter), bytearray([position])
        if fn in (d.ctr256_encrypt_inplace, d.ctr256_decrypt_inplace):
            buffer = bytearray(data)
            fn(buffer, key, iv, state)
            return bytes(buffer), bytes(iv), bytes(state)
        return fn(data, key, iv, state), bytes(iv), bytes(state)
    return call


def batch_case(fn, size):
    items = [os.urandom(random.randrange(size + 1)) for _ in range(5)]
    sizes = b"".join(len(i).to_bytes(4, "little") for i in items)
    key, counters, positions = os.urandom(32), os.urandom(16 * 5), os.urandom(5)

    def call():
        ivs, states = bytearray(counters), bytearray(positions)
        return fn(b"".join(items), bytearray(sizes), key, ivs, states), bytes(ivs), bytes(states)
    return call


def message_case(size):
    body = os.urandom(size)

    def call():  # the padding is random, so the packed message is checked by unpacking it
        packed = d.pack_message(5, 6, body, 7, SESSION, AUTH_KEY, ID8)
        return d.unpack_message(packed, SESSION, AUTH_KEY, ID8, incoming=False)
    return call


def cases():
    made = []
    for size in SIZES:
        key, iv = os.urandom(32), os.urandom(32)
        data = os.urandom(size)
        made.append(lambda data=data, key=key, iv=iv: d.ige256_encrypt(data, key, iv))
        made.append(lambda data=data, key=key, iv=iv: d.ige256_decrypt(data, key, iv))
        for fn in (d.ctr256_encrypt, d.ctr256_decrypt, d.ctr256_encrypt_inplace,
                   d.ctr256_decrypt_inplace):
            made.append(ctr_case(fn, size))
        for fn in (d.ctr256_encrypt_batch, d.ctr256_decrypt_batch):
            made.append(batch_case(fn, size // 5))
        made.append(lambda data=data: d.kdf(AUTH_KEY, data, size % 2 == 0))
        made.append(message_case(size))
        packed_in = d.pack_message(1, 2, data, 3, SESSION, AUTH_KEY, ID8)
        made.append(lambda p=packed_in: d.unpack_message(p, SESSION, AUTH_KEY, ID8, False))
    return made


def main():
    per_thread = int(sys.argv[1]) if len(sys.argv) > 1 else 400
    calls = cases()
    expected = [call() for call in calls]  # single-threaded answers
    mismatches, counts = [], [0] * THREADS

    def work(index):
        rng = random.Random(index)
        for _ in range(per_thread):
            k = rng.randrange(len(calls))
            if calls[k]() != expected[k]:
                mismatches.append(k)
            counts[index] += 1

    threads = [threading.Thread(target=work, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print(f"stress: {THREADS} threads, {sum(counts)} calls over {len(calls)} cases "
          f"(all eleven functions, 0 to 256 KiB), {len(mismatches)} mismatches")
    return 1 if mismatches or sum(counts) != THREADS * per_thread else 0


if __name__ == "__main__":
    sys.exit(main())
