"""Figures measured by the small native programs in bench/ (built into build/bench by make)."""

import os
import subprocess

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
PLACES = [os.path.join(ROOT, "build", "bench")]


def measure_all(program, env=None):
    """The numbers the program prints (None for "-"), or None where it is not built or
    cannot run; `env` adds to its environment."""
    for place in PLACES:
        path = os.path.join(place, program)
        if os.path.exists(path):
            try:
                out = subprocess.run([path], capture_output=True, check=True, text=True,
                                     env={**os.environ, **(env or {})}).stdout
                return [None if word == "-" else float(word) for word in out.split()]
            except (OSError, subprocess.CalledProcessError, ValueError):
                return None
    return None


def measure(program):
    """The first number the program prints, or None."""
    figures = measure_all(program)
    return figures[0] if figures else None
