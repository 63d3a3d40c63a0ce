"""Instructions per call inside the module, counted by callgrind: everything a module function
runs from its entry to its return (the interpreter API and libcrypto calls included), as
(Ir(W + N calls) - Ir(W calls)) / N. A count, not a time: it does not depend on the machine's
load. Runs the unstripped modules of the builds named (NAME=FOLDER, by default
gcc=build/bench: make bench-tools), a column each, and the ratio of each to the first."""

import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
DEFAULT_BUILD = "gcc=" + os.path.join(ROOT, "build", "bench")

SETUP = """
import os, dallowgate
key, iv32, auth_key = os.urandom(32), os.urandom(32), os.urandom(256)
iv, state, small, kib = bytearray(16), bytearray(1), os.urandom(64), os.urandom(1024)
msg_key, session_id, auth_key_id = os.urandom(16), os.urandom(8), auth_key[-8:]
body = os.urandom(100)
packed = dallowgate.pack_message(1, 2, body, 3, session_id, auth_key, auth_key_id)
"""

# (case, the call, the functions whose cost is left out, the limit)
CASES = [
    ("ctr256_encrypt 64 B", "dallowgate.ctr256_encrypt(small, key, iv, state)", [], 700),
    ("ctr256_encrypt 1 KiB", "dallowgate.ctr256_encrypt(kib, key, iv, state)", [], None),
    ("ige256_encrypt 64 B", "dallowgate.ige256_encrypt(small, key, iv32)", [], 750),
    ("ige256_encrypt 1 KiB", "dallowgate.ige256_encrypt(kib, key, iv32)", [], None),
    ("ige256_decrypt 1 KiB", "dallowgate.ige256_decrypt(kib, key, iv32)", [], None),
    ("kdf", "dallowgate.kdf(auth_key, msg_key, True)", [], None),
    ("kdf, outside SHA-256", "dallowgate.kdf(auth_key, msg_key, True)",
     ["SHA256_Init", "SHA256_Update", "SHA256_Final", "*dallowgate::sha256_shani*"], 500),
    ("pack_message 100 B", "dallowgate.pack_message(1, 2, body, 3, session_id, auth_key, auth_key_id)",
     [], None),
    ("unpack_message 100 B", "dallowgate.unpack_message(packed, session_id, auth_key, auth_key_id, False)",
     [], None),
]

WARM, COUNT = 50, 1000


def entry_function(build):
    """The outermost frame of a module function in this build: the call frame where the
    compiler made the function's entry a jump into it (clang), which callgrind counts as
    leaving the entry, and the entry itself where the frame is inlined into it (GCC)."""
    module = glob.glob(os.path.join(build, "dallowgate*.so"))[0]
    names = subprocess.run(["nm", "-C", module], capture_output=True, text=True, check=True).stdout
    if "dallowgate::call_frame<dallowgate::entry<" in names:
        return "*dallowgate::call_frame<dallowgate::entry<*"
    return "*dallowgate::entry<*"


def instructions(build, call, left_out, calls):
    script = f"{SETUP}\nfor _ in range({calls}):\n    {call}\n"
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "callgrind.out")
        # Collection is switched on at a module function's entry and off at its return; each
        # left-out function switches it off on entry and back on at its return.
        toggles = [f"--toggle-collect={entry_function(build)}"]
        toggles += [f"--toggle-collect={name}" for name in left_out]
        subprocess.run(["valgrind", "--tool=callgrind", "--collect-atstart=no", *toggles,
                        f"--callgrind-out-file={out}", sys.executable, "-c", script],
                       check=True, capture_output=True, env={**os.environ, "PYTHONPATH": build})
        with open(out) as counts:
            return int(re.search(r"^summary: (\d+)", counts.read(), re.M).group(1))


def per_call(build, call, left_out):
    return (instructions(build, call, left_out, WARM + COUNT)
            - instructions(build, call, left_out, WARM)) / COUNT


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", action="append", metavar="NAME=FOLDER",
                        help="a build to count (repeatable; the first is the reference)")
    options = parser.parse_args()
    builds = [entry.split("=", 1) for entry in options.build or [DEFAULT_BUILD]]
    if not shutil.which("valgrind") or not all(glob.glob(os.path.join(folder, "dallowgate*.so"))
                                               for _, folder in builds):
        print("instruction counts: need valgrind and the builds (make bench-tools)")
        return
    header = f"{'case':<30}" + "".join(f" {name:>10}" for name, _ in builds)
    header += "".join(f" {name + '/' + builds[0][0]:>12}" for name, _ in builds[1:])
    print(f"instructions per call\n{header} {'limit':>7}")
    for name, call, left_out, limit in CASES:
        counts = [per_call(folder, call, left_out) for _, folder in builds]
        line = f"{name:<30}" + "".join(f" {count:>10.0f}" for count in counts)
        line += "".join(f" {count / counts[0]:>12.3f}" for count in counts[1:])
        if limit is not None:
            line += f" {limit:>7}  {'ok' if max(counts) <= limit else 'OVER'}"
        print(line)


if __name__ == "__main__":
    main()
