"""The installed stubs: they match the module, accept correct use and catch the usual mistakes."""

import pathlib
import subprocess
import sys

import pytest

mypy_api = pytest.importorskip("mypy.api", reason="the typing tests need mypy")

SCRIPTS = pathlib.Path(__file__).resolve().parents[1] / "typing"


def mypy_strict(script, tmp_path):
    # From an empty folder, so that only the installed stubs can describe the module.
    return mypy_api.run(["--strict", "--no-error-summary", "--cache-dir", str(tmp_path / "cache"),
                         str(SCRIPTS / script)])


def test_stubtest_finds_the_stubs_equal_to_the_module(tmp_path):
    done = subprocess.run([sys.executable, "-m", "mypy.stubtest", "dallowgate"], cwd=tmp_path,
                          capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stdout + done.stderr


def test_correct_use_passes_strict_checking(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    out, err, status = mypy_strict("good_usage.py", tmp_path)
    assert status == 0, out + err


def test_every_usual_mistake_is_reported(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    out, err, status = mypy_strict("mistakes.py", tmp_path)
    lines = (SCRIPTS / "mistakes.py").read_text().splitlines()
    marked = {number for number, line in enumerate(lines, 1) if line.endswith("# mistake")}
    reported = {int(line.split(":")[1]) for line in out.splitlines() if ": error:" in line}
    assert status == 1 and reported == marked, out + err
