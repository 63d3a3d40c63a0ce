"""Instructions per call inside the module, counted by callgrind: everything a module function
runs from its entry to its return (the interpreter API and libcrypto calls included), as
(Ir(W + N calls) - Ir(W calls)) / N. A count, not a time: it does not depend on the machine's
load. Runs the unstripped module of build/bench (make bench-tools)."""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
BUILD = os.environ.get('BENCH_BUILD', os.path.join(ROOT, 'build', 'bench'))

SETUP = """
import os, dallowgate
key, iv32, auth_key = os.urandom(32), os.urandom(32), os.urandom(256)
iv, state, small = bytearray(16), bytearray(1), os.urandom(64)
msg_key, session_id, auth_key_id = os.urandom(16), os.urandom(8), auth_key[-8:]
body = os.urandom(100)
packed = dallowgate.pack_message(1, 2, body, 3, session_id, auth_key, auth_key_id)
"""

# (case, the call, the functions whose cost is left out, the limit)
CASES = [
    ("ctr256_encrypt 64 B", "dallowgate.ctr256_encrypt(small, key, iv, state)", [], 700),
    ("ige256_encrypt 64 B", "dallowgate.ige256_encrypt(small, key, iv32)", [], 750),
    ("kdf", "dallowgate.kdf(auth_key, msg_key, True)", [], None),
    ("kdf, outside SHA-256", "dallowgate.kdf(auth_key, msg_key, True)",
     ["SHA256_Init", "SHA256_Update", "SHA256_Final", "*dallowgate::sha256_shani*"], 500),
    ("pack_message 100 B", "dallowgate.pack_message(1, 2, body, 3, session_id, auth_key, auth_key_id)",
     [], None),
    ("unpack_message 100 B", "dallowgate.unpack_message(packed, session_id, auth_key, auth_key_id, False)",
     [], None),
]

WARM, COUNT = 50, 1000


def instructions(call, left_out, calls):
    script = f"{SETUP}\nfor _ in range({calls}):\n    {call}\n"
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "callgrind.out")
        # Collection is switched on at a module function's entry and off at its return; each
        # left-out function switches it off on entry and back on at its return.
        toggles = ["--toggle-collect=*dallowgate::entry<*"]
        toggles += [f"--toggle-collect={name}" for name in left_out]
        subprocess.run(["valgrind", "--tool=callgrind", "--collect-atstart=no", *toggles,
                        f"--callgrind-out-file={out}", sys.executable, "-c", script],
                       check=True, capture_output=True, env={**os.environ, "PYTHONPATH": BUILD})
        with open(out) as counts:
            return int(re.search(r"^summary: (\d+)", counts.read(), re.M).group(1))


def main():
    if not shutil.which("valgrind") or not glob.glob(os.path.join(BUILD, "dallowgate*.so")):
        print("instruction counts: need valgrind and build/bench (make bench-tools)")
        return
    print(f"{'case':<30} {'instructions per call':>22} {'limit':>7}")
    for name, call, left_out, limit in CASES:
        per_call = (instructions(call, left_out, WARM + COUNT) - instructions(call, left_out, WARM)) / COUNT
        verdict = "" if limit is None else f"{limit:>7}  {'ok' if per_call <= limit else 'OVER'}"
        print(f"{name:<30} {per_call:>22.0f} {verdict}")


if __name__ == "__main__":
    main()
