"""Figures measured by the small native programs in bench/ (built into build/bench by make)."""

import os
import subprocess

BUILD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "bench")


def measure(program):
    """The first number the program prints, or None where it is not built or cannot run."""
    path = os.path.join(BUILD, program)
    if not os.path.exists(path):
        return None
    try:
        return float(subprocess.run([path], capture_output=True, check=True, text=True).stdout.split()[0])
    except (OSError, subprocess.CalledProcessError, ValueError, IndexError):
        return None
