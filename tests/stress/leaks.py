"""Resident memory after 10**5 and after 10**6 calls of each function, success and error paths
mixed: it must not grow between the two. Counts calls; no timing is asserted.

Usage: python leaks.py [CALLS] [--calls-only]; --calls-only makes the calls without judging
the resident memory, for runs under LeakSanitizer (whose quarantine keeps freed memory)."""

import os
import sys

import dallowgate as d

PAGE = os.sysconf("SC_PAGE_SIZE")
ALLOWED_GROWTH = 1 << 20  # bytes; a leak of 2 bytes per call would exceed it


def rss():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


K32, K31, IV32, AUTH, ID8 = os.urandom(32), os.urandom(31), os.urandom(32), os.urandom(256), os.urandom(8)
DATA = os.urandom(64)
PACKED = d.pack_message(1, 2, DATA, 3, ID8, AUTH, ID8)
SIZES, TWO = bytearray(b"\x20\0\0\0\x20\0\0\0"), bytearray(2)


def calls():
    """(name, success call, error call) for every function."""
    iv, state, buffer = bytearray(16), bytearray(1), bytearray(DATA)
    return [
        ("ige256_encrypt", lambda: d.ige256_encrypt(DATA, K32, IV32), lambda: d.ige256_encrypt(DATA, K31, IV32)),
        ("ige256_decrypt", lambda: d.ige256_decrypt(DATA, K32, IV32), lambda: d.ige256_decrypt(DATA, K32, b"")),
        ("ctr256_encrypt", lambda: d.ctr256_encrypt(DATA, K32, iv, state), lambda: d.ctr256_encrypt(DATA, K32, iv, bytearray())),
        ("ctr256_decrypt", lambda: d.ctr256_decrypt(DATA, K32, iv, state), lambda: d.ctr256_decrypt("text", K32, iv, state)),
        ("ctr256_encrypt_inplace", lambda: d.ctr256_encrypt_inplace(buffer, K32, iv, state),
         lambda: d.ctr256_encrypt_inplace(buffer, K32, bytearray(15), state)),
        ("ctr256_decrypt_inplace", lambda: d.ctr256_decrypt_inplace(buffer, K32, iv, state),
         lambda: d.ctr256_decrypt_inplace(buffer, K32, iv, state, extra=1)),
        ("ctr256_encrypt_batch", lambda: d.ctr256_encrypt_batch(DATA, SIZES, K32, bytearray(32), TWO),
         lambda: d.ctr256_encrypt_batch(DATA[:10], SIZES, K32, bytearray(32), TWO)),
        ("ctr256_decrypt_batch", lambda: d.ctr256_decrypt_batch(DATA, SIZES, K32, bytearray(32), TWO),
         lambda: d.ctr256_decrypt_batch(DATA, SIZES, K32, bytearray(31), TWO)),
        ("kdf", lambda: d.kdf(AUTH, DATA, True), lambda: d.kdf(AUTH[:255], DATA, True)),
        ("pack_message", lambda: d.pack_message(1, 2, DATA, 3, ID8, AUTH, ID8),
         lambda: d.pack_message(2 ** 63, 2, DATA, 3, ID8, AUTH, ID8)),
        ("unpack_message", lambda: d.unpack_message(PACKED, ID8, AUTH, ID8, incoming=False),
         lambda: d.unpack_message(PACKED, ID8, AUTH, ID8)),  # msg_key mismatch
    ]


def run(success, error, n):
    for _ in range(n // 2):
        success()
        try:
            error()
        except (ValueError, TypeError, OverflowError):
            pass


def main():
    total = int(sys.argv[1]) if len(sys.argv) > 1 else 10 ** 6
    judge_rss = "--calls-only" not in sys.argv
    first = total // 10
    failed = False
    for name, success, error in calls():
        run(success, error, first)
        after_first = rss()
        run(success, error, total - first)
        growth = rss() - after_first
        failed |= judge_rss and growth > ALLOWED_GROWTH
        if judge_rss:
            print(f"{name:24} RSS {after_first / 2 ** 20:7.1f} MiB after {first:>8} calls, "
                  f"{(after_first + growth) / 2 ** 20:7.1f} MiB after {total:>8} "
                  f"({growth / 1024:+.0f} KiB)")
        else:
            print(f"{name:24} {total} calls")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
