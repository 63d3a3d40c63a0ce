"""Builds the module with warnings as errors and runs the Python tests on every interpreter we
support: CPython 3.9 to 3.13 as this machine has them (pyenv's, then python3.X on PATH),
free-threaded CPython 3.13 built from Debian's testing suite's source package, CPython 3.14
and 3.15 and PyPy 3.11 unpacked from Debian's testing suite, and Debian's own pypy3. Each gets
a virtual environment under build/pythons. Prints what each one took.

Usage: run.py --testing FOLDER --free-threaded FOLDER --shim PATH [--only LABEL ...]
              [--repeat N -- PYTEST ARGS]"""

import argparse
import glob
import os
import pathlib
import platform
import re
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
VENVS = ROOT / "build" / "pythons"
BUILD = ["-m", "pip", "install", "--no-build-isolation", "--no-deps", "-q",
         "-C", "cmake.define.DALLOWGATE_WERROR=ON"]
PYTEST = ["-m", "pytest", "-q", "-p", "no:cacheprovider"]
PACKAGES = ["pip", "scikit-build-core", "pytest", "hypothesis"]
# Installed where they have a wheel for the interpreter; the tests do without them elsewhere
# (PyPy 8.0 has none of numpy and cryptography, free-threaded 3.13 none of cryptography and
# mypy). mypy's compiled helper (librt) has no PyPy build, so the typing tests, which check the
# stubs the same way everywhere, skip on PyPy.
OPTIONAL = ["numpy", "cryptography", "mypy"]
PYPY_OPTIONAL = ["numpy", "cryptography"]


def pyenv_or_path(version):
    root = subprocess.run(["pyenv", "root"], capture_output=True, text=True).stdout.strip() \
        if shutil.which("pyenv") else ""
    found = sorted(glob.glob(f"{root}/versions/{version}.*/bin/python{version}") if root else [],
                   key=lambda path: [int(n) for n in re.findall(r"\d+", path.split("/")[-3])])
    return found[-1] if found else shutil.which(f"python{version}")


def interpreters(testing, free_threaded):
    """(label, executable or None, whether it must be there) in the order they run."""
    for minor in range(9, 14):
        yield f"3.{minor}", pyenv_or_path(f"3.{minor}"), False
    yield "3.13t", f"{free_threaded}/bin/python3.13t", True
    for version in ("3.14", "3.15"):
        yield version, f"{testing}/usr/bin/python{version}", True
    yield "pypy3", shutil.which("pypy3"), True
    yield "pypy3-testing", f"{testing}/usr/bin/pypy3", True


def run(*command, **options):
    subprocess.run([str(part) for part in command], check=True, cwd=ROOT, **options)


def set_up(label, executable, testing):
    """The label's virtual environment with pip and the test packages: its interpreter, what it
    says it is, and the optional packages left out."""
    venv = VENVS / label
    python = venv / "bin" / "python"
    if not python.exists():
        if subprocess.run([executable, "-c", "import ensurepip"],
                          stderr=subprocess.DEVNULL).returncode == 0:
            run(executable, "-m", "venv", venv)
        else:  # Debian's interpreters, whose pip is a wheel of its own
            run(executable, "-m", "venv", "--without-pip", venv)
            wheel = sorted(glob.glob(f"{testing}/usr/share/python-wheels/pip-*.whl"))[-1]
            run(python, f"{wheel}/pip", "install", "-q", wheel)
    implementation = subprocess.run(
        [python, "-c", "import platform, sysconfig; print(platform.python_implementation(), "
                       "platform.python_version() + ('t' if sysconfig.get_config_var("
                       "'Py_GIL_DISABLED') else ''))"],
        capture_output=True, text=True, check=True).stdout.strip()
    install = [python, "-m", "pip", "install", "-q", "--only-binary=:all:", "--upgrade"]
    run(*install, *PACKAGES)
    is_pypy = implementation.startswith("PyPy")
    left_out = [package for package in (PYPY_OPTIONAL if is_pypy else OPTIONAL)
                if subprocess.run([str(part) for part in install] + [package], cwd=ROOT,
                                  stderr=subprocess.DEVNULL).returncode != 0]
    return python, implementation, left_out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--testing", required=True, help="the folder of unpack_testing.sh")
    parser.add_argument("--free-threaded", required=True,
                        help="the folder of build_free_threaded.sh")
    parser.add_argument("--shim", required=True, help="libfailing_getrandom.so")
    parser.add_argument("--only", nargs="*", help="labels to run (default: all)")
    parser.add_argument("--repeat", type=int, default=1, help="runs of the tests per interpreter")
    parser.add_argument("pytest_args", nargs="*", help="instead of tests/python")
    options = parser.parse_args()

    passed, missing = [], []
    for label, executable, required in interpreters(os.path.abspath(options.testing),
                                                    os.path.abspath(options.free_threaded)):
        if options.only and label not in options.only:
            continue
        if not executable or not os.path.exists(executable):
            if required:
                sys.exit(f"test-pythons: {label} not found ({executable})")
            missing.append(label)
            continue
        print(f"== {label}: {executable}", flush=True)
        start = time.monotonic()
        python, version, left_out = set_up(label, executable, options.testing)
        run(python, *BUILD, ".")
        built = time.monotonic()
        for _ in range(options.repeat):
            run(python, *PYTEST, *(options.pytest_args or ["tests/python"]),
                f"--failing-random-shim={options.shim}")
        passed.append(f"{label} ({version}): set-up and build {built - start:.0f} s, "
                      f"tests {time.monotonic() - built:.0f} s"
                      + (f" (no wheel of {', '.join(left_out)})" if left_out else ""))
    if missing:
        print(f"test-pythons: not found on this machine: {' '.join(missing)}")
    if not passed:
        sys.exit("test-pythons: no interpreter found")
    print(f"test-pythons: passed on {platform.machine()}:", *passed, sep="\n  ")


if __name__ == "__main__":
    main()
