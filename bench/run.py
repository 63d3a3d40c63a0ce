"""Runs the benchmarks and prints a table: time per call of dallowgate against a peer
measured in the same run, and the ratio peer time / dallowgate time (how many times faster
dallowgate is; against a hardware bound, the fraction of the bound reached)."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import ige_bench  # noqa: E402
import kdf_bench  # noqa: E402
from timing import calibrated_number, cpu_model, per_call_ns  # noqa: E402

SUITES = [kdf_bench, ige_bench]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--quick", action="store_true", help="fewer repetitions (for the demo)")
    options = parser.parse_args()
    repeat = 3 if options.quick else 9
    target_ns = 5_000_000 if options.quick else 30_000_000

    print(f"CPU: {cpu_model()}")
    header = f"{'case':<26} {'dallowgate':>14} {'peer':<24} {'peer time':>14} {'ratio':>7}"
    print(header)
    print("-" * len(header))
    for suite in SUITES:
        for name, ours, peer_name, peer in suite.cases():
            number = calibrated_number(ours, target_ns)
            ours_ns = per_call_ns(ours, number, repeat)
            if callable(peer):
                peer_ns = per_call_ns(peer, calibrated_number(peer, target_ns), repeat)
            else:
                peer_ns = peer  # a bound measured by the suite
            print(f"{name:<26} {format_ns(ours_ns):>14} {peer_name:<24} {format_ns(peer_ns):>14} "
                  f"{peer_ns / ours_ns:>6.2f}x")


def format_ns(ns):
    if ns >= 1_000_000:
        return f"{ns / 1_000_000:.2f} ms"
    if ns >= 1_000:
        return f"{ns / 1_000:.2f} us"
    return f"{ns:.0f} ns"


if __name__ == "__main__":
    main()
