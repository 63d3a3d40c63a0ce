"""Runs the benchmarks and prints a table: time per call of dallowgate against a peer
measured in the same run, and the ratio peer time / dallowgate time (how many times faster
dallowgate is; against a hardware bound, the fraction of the bound reached).

With --build NAME=FOLDER (repeatable), each build's module (and its native programs) is loaded
from its folder and timed beside the others in turns, with a column each and the time of each
relative to the first; without, the installed module and build/bench's programs."""

import argparse
import importlib.util
import glob
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import native  # noqa: E402
from timing import calibrated_number, cpu_model, per_call_ns  # noqa: E402

SUITES = ["kdf_bench", "ige_bench", "message_bench", "ctr_bench"]
HERE = os.path.dirname(os.path.abspath(__file__))


def load_build(folder):
    """The module built in `folder`, loaded under its own name beside any other."""
    path = glob.glob(os.path.join(folder, "dallowgate*.so"))[0]
    spec = importlib.util.spec_from_file_location("dallowgate", path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def build_cases(name, module, folder):
    """The cases of every suite, run against `module` and the native programs of `folder`, one
    by one as they are asked for (a suite's calls may refer to its loop's variables, which move
    on with it)."""
    saved_module = sys.modules.get("dallowgate")
    if module is not None:
        sys.modules["dallowgate"] = module
    try:
        suites = []
        for suite_name in SUITES:
            spec = importlib.util.spec_from_file_location(f"{suite_name}_{name}",
                                                          os.path.join(HERE, suite_name + ".py"))
            suite = importlib.util.module_from_spec(spec)
            spec.loader.exec_module(suite)
            suites.append(suite)
    finally:
        if saved_module is not None:
            sys.modules["dallowgate"] = saved_module
    for suite in suites:
        cases = suite.cases()
        while True:
            saved_places = native.PLACES
            native.PLACES = [folder] if folder is not None else saved_places
            try:
                case = next(cases)
            except StopIteration:
                break
            finally:
                native.PLACES = saved_places
            yield case


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--quick", action="store_true", help="fewer repetitions (for the demo)")
    parser.add_argument("--build", action="append", metavar="NAME=FOLDER",
                        help="a build to time (repeatable; the first is the reference)")
    options = parser.parse_args()
    repeat = 3 if options.quick else 9
    target_ns = 5_000_000 if options.quick else 30_000_000

    if options.build:
        builds = [entry.split("=", 1) for entry in options.build]
        runs = [build_cases(name, load_build(folder), folder) for name, folder in builds]
        names = [name for name, _ in builds]
    else:
        runs, names = [build_cases("installed", None, None)], ["dallowgate"]

    print(f"CPU: {cpu_model()}")
    header = f"{'case':<30}" + "".join(f" {name:>11}" for name in names)
    header += "".join(f" {name + '/' + names[0]:>13}" for name in names[1:])
    header += f" {'peer':<28} {'peer time':>11}" + "".join(
        f" {'ratio ' + name if len(names) > 1 else 'ratio':>11}" for name in names)
    print(header)
    print("-" * len(header))
    for cases in zip(*runs):
        name, _, peer_name, peer = cases[0]
        assert all(case[0] == name for case in cases), "the builds' suites differ"
        times = timed_in_turns([case[1] for case in cases] + [peer], target_ns, repeat)
        ours, peer_ns = times[:-1], times[-1]
        line = f"{name:<30}" + "".join(f" {format_ns(ns):>11}" for ns in ours)
        line += "".join(f" {ns / ours[0]:>13.3f}" for ns in ours[1:])
        if peer is not None:
            line += f" {peer_name:<28} {format_ns(peer_ns):>11}"
            line += "".join(f" {peer_ns / ns:>10.2f}x" for ns in ours)
        print(line)


def timed_in_turns(subjects, target_ns, repeat):
    """Best ns per call of each callable, all taking turns so that a change in the machine's
    speed touches each alike; a number is a figure the suite measured itself (None stays)."""
    callables = [s for s in subjects if callable(s)]
    numbers = {id(s): calibrated_number(s, target_ns) for s in callables}
    best = {id(s): None for s in callables}
    for _ in range(repeat):
        for s in callables:
            ns = per_call_ns(s, numbers[id(s)], 1)
            best[id(s)] = ns if best[id(s)] is None else min(best[id(s)], ns)
    return [best[id(s)] if callable(s) else s for s in subjects]


def format_ns(ns):
    if ns >= 1_000_000:
        return f"{ns / 1_000_000:.2f} ms"
    if ns >= 1_000:
        return f"{ns / 1_000:.2f} us"
    return f"{ns:.0f} ns"


if __name__ == "__main__":
    main()
