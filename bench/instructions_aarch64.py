"""Guest instructions per call of the module's functions on aarch64, under qemu-aarch64 -cpu max:
with -singlestep -d nochain,exec every executed instruction is one line of qemu's log, written
to a named pipe and counted. The figure per call is (I(N calls) - I(0 calls)) / N, less the same
for an empty lambda. Both scripts of a case are the same but for N: the call made once before
the loop (its first-call costs, the interpreter's included, fall in both) and `for _ in
range(N)` compiled in both, so that the difference is N calls and N turns of the loop. Counts
of an emulated CPU, not times: they say nothing of a chip's speed.
Runs the cross-built modules named (NAME=FOLDER, by default gcc=build/aarch64/cpp: make
test-aarch64), a column each with the ratio of each to the first, with the arm64 CPython of
build/aarch64/root; each run is an interpreter start-up (about 38 million instructions), so the
runs go two at a time and N is small for the 16 KiB cases."""

import argparse
import concurrent.futures
import os
import subprocess
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
AARCH64 = os.path.join(ROOT, "build", "aarch64")

SETUP = """
import os, dallowgate
key, iv32, auth_key = os.urandom(32), os.urandom(32), os.urandom(256)
iv, state, small, big = bytearray(16), bytearray(1), os.urandom(64), os.urandom(16384)
msg_key, session_id, auth_key_id = os.urandom(16), os.urandom(8), auth_key[-8:]
body = os.urandom(100)
packed = dallowgate.pack_message(1, 2, body, 3, session_id, auth_key, auth_key_id)
packed_big = dallowgate.pack_message(1, 2, big, 3, session_id, auth_key, auth_key_id)
empty = lambda: None
"""

# (case, the call, calls counted, the goal)
CASES = [
    ("ctr256_encrypt 64 B", "dallowgate.ctr256_encrypt(small, key, iv, state)", 200, 1200),
    ("ige256_encrypt 64 B", "dallowgate.ige256_encrypt(small, key, iv32)", 200, 1200),
    ("ige256_encrypt 16 KiB", "dallowgate.ige256_encrypt(big, key, iv32)", 20, 46000),
    ("ctr256_encrypt 16 KiB", "dallowgate.ctr256_encrypt(big, key, iv, state)", 20, 40000),
    ("unpack_message 16 KiB body",
     "dallowgate.unpack_message(packed_big, session_id, auth_key, auth_key_id, False)", 20, 70000),
    ("kdf", "dallowgate.kdf(auth_key, msg_key, True)", 200, None),
    ("pack_message 100 B",
     "dallowgate.pack_message(1, 2, body, 3, session_id, auth_key, auth_key_id)", 200, None),
    ("unpack_message 100 B",
     "dallowgate.unpack_message(packed, session_id, auth_key, auth_key_id, False)", 200, None),
]
EMPTY_CALLS = 200


def count(build, call, calls, cpu):
    """Guest instructions of an interpreter that runs SETUP, `call` once, and then `call` `calls`
    times in a loop."""
    script = SETUP + f"{call}\nfor _ in range({calls}):\n    {call}\n"
    with tempfile.TemporaryDirectory() as folder:
        fifo = os.path.join(folder, "log")
        os.mkfifo(fifo)
        # wc reads the log as qemu writes it, so that it never lies on disk.
        counter = subprocess.Popen(["wc", "-l", fifo], stdout=subprocess.PIPE, text=True)
        root = os.path.join(AARCH64, "root")
        try:
            subprocess.run(["qemu-aarch64", "-L", root, "-cpu", cpu, "-singlestep",
                            "-d", "nochain,exec", "-D", fifo,
                            os.path.join(root, "usr", "bin", "python3.11"), "-c", script],
                           check=True, env={**os.environ, "PYTHONPATH": build, "PYTHONHASHSEED": "0"},
                           stdout=subprocess.DEVNULL)
        finally:
            try:  # qemu may have left without opening the log: wc must not wait for it
                os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
            except OSError:  # wc has read the log to its end already
                pass
            lines = counter.communicate()[0]
        return int(lines.split()[0])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", action="append", metavar="NAME=FOLDER",
                        help="a cross-built module's folder (repeatable; the first is the reference)")
    parser.add_argument("--cpu", default="max", help="the qemu CPU model")
    parser.add_argument("--case", action="append", metavar="TEXT",
                        help="only the cases whose names contain TEXT (repeatable)")
    options = parser.parse_args()
    cases = [case for case in CASES
             if not options.case or any(text in case[0] for text in options.case)]
    builds = [entry.split("=", 1) for entry in
              options.build or ["gcc=" + os.path.join(AARCH64, "cpp")]]
    runs = [("empty", "empty()", EMPTY_CALLS)]
    runs += [(name, call, calls) for name, call, calls, _ in cases]
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        futures = {(build, name, n): pool.submit(count, folder, call, n, options.cpu)
                   for build, folder in builds for name, call, calls in runs for n in (0, calls)}
        total = {key: future.result() for key, future in futures.items()}

    def per_call(build, name, calls):
        return (total[build, name, calls] - total[build, name, 0]) / calls

    print(f"guest instructions per call under qemu-aarch64 -cpu {options.cpu} (emulated: counts,"
          " not times)")
    header = f"{'case':<30}" + "".join(f" {build:>10}" for build, _ in builds)
    header += "".join(f" {build + '/' + builds[0][0]:>12}" for build, _ in builds[1:])
    print(f"{header} {'goal':>7}")
    for name, _, calls, goal in cases:
        figures = [per_call(build, name, calls) - per_call(build, "empty", EMPTY_CALLS)
                   for build, _ in builds]
        line = f"{name:<30}" + "".join(f" {figure:>10.0f}" for figure in figures)
        line += "".join(f" {figure / figures[0]:>12.3f}" for figure in figures[1:])
        if goal is not None:
            line += f" {goal:>7}  {'ok' if max(figures) <= goal else 'OVER'}"
        print(line)


if __name__ == "__main__":
    main()
