import platform
import sys
import sysconfig

import dallowgate


def pytest_addoption(parser):
    parser.addoption("--failing-random-shim", default=None, metavar="PATH",
                     help="libfailing_getrandom.so from the C++ test build; the test of a "
                          "failing random source is skipped without it")


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "resize_race: another thread resizes a caller object during a long call")


def pytest_terminal_summary(terminalreporter):
    # Which build was tested: the wheel's, a venv's, clang's or the aarch64 one.
    lock = ""
    if sysconfig.get_config_var("Py_GIL_DISABLED"):
        lock = f", free-threaded, interpreter lock {'on' if sys._is_gil_enabled() else 'off'}"
    terminalreporter.write_line(
        f"tested dallowgate from {dallowgate.__file__} "
        f"(Python {platform.python_version()} on {platform.machine()}, {sys.platform}{lock})")
