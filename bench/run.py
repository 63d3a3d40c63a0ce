"""Runs the benchmarks and prints a table: time per call of dallowgate against a peer
measured in the same run, and the ratio peer time / dallowgate time (how many times faster
dallowgate is; against a hardware bound, the fraction of the bound reached)."""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import ctr_bench  # noqa: E402
import ige_bench  # noqa: E402
import kdf_bench  # noqa: E402
import message_bench  # noqa: E402
from timing import calibrated_number, cpu_model, per_call_ns  # noqa: E402

SUITES = [kdf_bench, ige_bench, message_bench, ctr_bench]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--quick", action="store_true", help="fewer repetitions (for the demo)")
    options = parser.parse_args()
    repeat = 3 if options.quick else 9
    target_ns = 5_000_000 if options.quick else 30_000_000

    print(f"CPU: {cpu_model()}")
    header = f"{'case':<30} {'dallowgate':>14} {'peer':<28} {'peer time':>14} {'ratio':>7}"
    print(header)
    print("-" * len(header))
    for suite in SUITES:
        for name, ours, peer_name, peer in suite.cases():
            ours_ns, peer_ns = timed_in_turns(ours, peer, target_ns, repeat)
            if peer is None:  # a figure on its own
                print(f"{name:<30} {format_ns(ours_ns):>14}")
                continue
            print(f"{name:<30} {format_ns(ours_ns):>14} {peer_name:<28} {format_ns(peer_ns):>14} "
                  f"{peer_ns / ours_ns:>6.2f}x")


def timed_in_turns(ours, peer, target_ns, repeat):
    """Best ns per call of each callable, the two taking turns so that a change in the
    machine's speed touches both; a number is a figure the suite measured itself."""
    subjects = [s for s in (ours, peer) if callable(s)]
    numbers = {id(s): calibrated_number(s, target_ns) for s in subjects}
    best = {id(s): None for s in subjects}
    for _ in range(repeat):
        for s in subjects:
            ns = per_call_ns(s, numbers[id(s)], 1)
            best[id(s)] = ns if best[id(s)] is None else min(best[id(s)], ns)
    return tuple(best[id(s)] if callable(s) else s for s in (ours, peer))


def format_ns(ns):
    if ns >= 1_000_000:
        return f"{ns / 1_000_000:.2f} ms"
    if ns >= 1_000:
        return f"{ns / 1_000:.2f} us"
    return f"{ns:.0f} ns"


if __name__ == "__main__":
    main()
