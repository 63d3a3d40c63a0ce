"""Free-threaded CPython, as ratios measured in one run:

- scaling: calls per second over two threads, each on its own objects, against one thread, for
  ctr256_encrypt 64 B, pack_message 100 B and kdf, each against the scaling of the binding floor
  (binding_floor.copy_length: the same four arguments, a new bytes object of the input's length,
  no cryptography) on the same interpreter; and ctr256_encrypt_inplace of 256 KiB, whose calls
  spend nearly all their time with the thread detached, against two processes running the same
  loop (what the machine gives two workers, without the interpreter in common);
- the module's own cost per call: a single thread's ctr256_encrypt of 64 B less an empty call
  (binding_floor.nothing) on this interpreter, against the same on a default build (run in a
  subprocess with --own-cost).

Usage: free_threaded.py --build FOLDER [--default-python PYTHON --default-build FOLDER]
       free_threaded.py --build FOLDER --worker CASE CALLS (one process of the two)
(FOLDER: a bench build, made for the interpreter that runs it, with dallowgate and
binding_floor)."""

import argparse
import importlib
import os
import subprocess
import sys
import sysconfig
import threading
import time

CALLS = {"small": 200_000, "large": 1_000}
BUILD = None  # the build folder, for the worker processes
ROUNDS = 9
TURNS = 3  # of the own-cost measurement, here and on the default build in turns


def load(folder):
    """dallowgate and binding_floor from the build folder (ahead of any installed module)."""
    sys.path.insert(0, os.path.abspath(folder))
    return importlib.import_module("dallowgate"), importlib.import_module("binding_floor")


def run_threads(make, threads, calls):
    """Seconds for `threads` threads to make `calls` calls each, started together. Each thread
    makes its own call and objects, so that it owns them (a free-threaded interpreter counts
    references to another thread's objects atomically)."""
    barrier = threading.Barrier(threads + 1)

    def work():
        call = make()
        barrier.wait()
        for _ in range(calls):
            call()

    workers = [threading.Thread(target=work) for _ in range(threads)]
    for worker in workers:
        worker.start()
    barrier.wait()
    start = time.perf_counter()
    for worker in workers:
        worker.join()
    return time.perf_counter() - start


def scaling(makes, calls):
    """For each factory, the best calls per second over two threads against the best over one;
    the factories take turns within every round, so that the machine's slow moments fall on all
    of them alike."""
    one, two = [0.0] * len(makes), [0.0] * len(makes)
    for _ in range(ROUNDS):
        for i, make in enumerate(makes):
            one[i] = max(one[i], calls / run_threads(make, 1, calls))
            two[i] = max(two[i], 2 * calls / run_threads(make, 2, calls))
    return [b / a for a, b in zip(one, two)]


def cases(dallowgate, floor):
    """(name, factory of a call on objects of its own, calls, floor factory or None). Every
    object a call touches is made by the factory, so that threads share none (a shared object's
    reference count would be a contention of the benchmark's own)."""

    def floor_of(size):
        def make():
            src, key = os.urandom(size), os.urandom(32)
            iv, state = bytearray(16), bytearray(1)
            return lambda: floor.copy_length(src, key, iv, state)
        return make

    def ctr():
        src, key, iv, state = os.urandom(64), os.urandom(32), bytearray(16), bytearray(1)
        return lambda: dallowgate.ctr256_encrypt(src, key, iv, state)

    def pack():
        body, session_id, auth_key = os.urandom(100), os.urandom(8), os.urandom(256)
        auth_key_id = auth_key[-8:]
        return lambda: dallowgate.pack_message(1, 2, body, 3, session_id, auth_key, auth_key_id)

    def kdf():
        auth_key, msg_key = os.urandom(256), os.urandom(16)
        return lambda: dallowgate.kdf(auth_key, msg_key, True)

    def inplace():
        data, key, iv, state = bytearray(256 * 1024), os.urandom(32), bytearray(16), bytearray(1)
        return lambda: dallowgate.ctr256_encrypt_inplace(data, key, iv, state)

    return [("ctr256_encrypt 64 B", ctr, CALLS["small"], floor_of(64)),
            ("pack_message 100 B", pack, CALLS["small"], floor_of(140)),
            ("kdf", kdf, CALLS["small"], floor_of(64)),
            ("ctr256_encrypt_inplace 256 KiB", inplace, CALLS["large"], None)]


def processes(case, calls, count):
    """Calls per second of `count` processes each making `calls` calls of `case` on objects of
    its own, started together (each times its own loop; the slowest one counts)."""
    workers = [subprocess.Popen([sys.executable, __file__, "--build", BUILD, "--worker", case,
                                 str(calls)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                text=True) for _ in range(count)]
    for worker in workers:  # each has loaded the module and made its objects: go
        worker.stdout.readline()
    for worker in workers:
        worker.stdin.write("go\n")
        worker.stdin.flush()
    seconds = max(float(worker.communicate()[0]) for worker in workers)
    return count * calls / seconds


def process_scaling(case, calls):
    """Two processes' calls per second against one's, best of ROUNDS in turns."""
    one = two = 0.0
    for _ in range(ROUNDS):
        one = max(one, processes(case, calls, 1))
        two = max(two, processes(case, calls, 2))
    return two / one


def worker(dallowgate, floor, case, calls):
    make = {name: make for name, make, _, _ in cases(dallowgate, floor)}[case]
    call = make()
    print("ready", flush=True)
    sys.stdin.readline()
    print(run_threads(lambda: call, 1, calls))


def own_cost(dallowgate, floor):
    """ns per ctr256_encrypt of 64 B less ns per empty call, each the best of ROUNDS loops
    (taken in turns)."""
    src, key, iv, state = os.urandom(64), os.urandom(32), bytearray(16), bytearray(1)

    def loop(call, calls=200_000):
        start = time.perf_counter_ns()
        for _ in range(calls):
            call(src, key, iv, state)
        return (time.perf_counter_ns() - start) / calls

    ours = empty = float("inf")
    for _ in range(ROUNDS):
        ours = min(ours, loop(dallowgate.ctr256_encrypt))
        empty = min(empty, loop(floor.nothing))
    return ours - empty


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--default-python")
    parser.add_argument("--default-build")
    parser.add_argument("--own-cost", action="store_true", help="print the own cost and stop")
    parser.add_argument("--worker", nargs=2, metavar=("CASE", "CALLS"))
    options = parser.parse_args()
    global BUILD
    BUILD = options.build
    dallowgate, floor = load(options.build)
    if options.worker:
        worker(dallowgate, floor, options.worker[0], int(options.worker[1]))
        return
    if options.own_cost:
        print(f"{own_cost(dallowgate, floor):.1f}")
        return
    free = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))
    gil = sys._is_gil_enabled() if hasattr(sys, "_is_gil_enabled") else True
    print(f"Python {sys.version.split()[0]}{'t' if free else ''}, interpreter lock "
          f"{'on' if gil else 'off'}, {os.cpu_count()} CPUs")
    print(f"{'case':<32} {'2 threads / 1':>14} {'floor':>8} {'/ floor':>8}")
    for name, make, calls, floor_make in cases(dallowgate, floor):
        if floor_make is None:
            [ours] = scaling([make], calls)
            apart = process_scaling(name, calls)
            print(f"{name:<32} {ours:>13.2f}x   2 processes / 1: {apart:.2f}x, threads / "
                  f"processes {ours / apart:.2f}")
            continue
        ours, base = scaling([make, floor_make], calls)
        print(f"{name:<32} {ours:>13.2f}x {base:>7.2f}x {ours / base:>8.2f}")
    default = options.default_python and options.default_build
    here = there = float("inf")
    for _ in range(TURNS if default else 1):
        here = min(here, own_cost(dallowgate, floor))
        if default:
            there = min(there, float(subprocess.run(
                [options.default_python, __file__, "--build", options.default_build,
                 "--own-cost"], capture_output=True, text=True, check=True).stdout))
    line = f"own cost of ctr256_encrypt 64 B (less an empty call): {here:.1f} ns"
    if default:
        line += f", {there:.1f} ns on the default build: {here / there:.2f}x"
    print(line)


if __name__ == "__main__":
    main()
