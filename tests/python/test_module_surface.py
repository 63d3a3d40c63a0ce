import importlib
import platform
import sys

import dallowgate
import pytest

from functions import FUNCTIONS, NAMES

DOCS = {
    "ctr256_encrypt_inplace": "In-place CTR encrypt: copies data out, processes, writes back.\n"
    "Saves one allocation vs the returning version.",
    "ctr256_encrypt_batch": "Batch CTR encrypt: all data passed as a single flat buffer with sizes list.\n"
    "Eliminates per-item Python list indexing (O(1) Python calls regardless of batch size).",
}
# PyPy 7.3's builtin functions have no __self__.
HAS_SELF = platform.python_implementation() != "PyPy" or hasattr(dallowgate.kdf, "__self__")
SIGNATURES = {
    "unpack_message": "(packed, session_id, auth_key, auth_key_id, incoming=True)",
}


def test_all_lists_the_functions_in_registration_order():
    assert dallowgate.__all__ == NAMES
    assert type(dallowgate.__all__) is list


def test_namespace_holds_nothing_else():
    public = {name for name in vars(dallowgate) if not name.startswith("__")}
    assert public == set(NAMES)
    dunder = {name for name in vars(dallowgate) if name.startswith("__")}
    assert dunder <= {"__all__", "__doc__", "__file__", "__loader__", "__name__", "__package__",
                      "__spec__"}
    assert dallowgate.__doc__ == ""
    assert not hasattr(dallowgate, "PanicException")


@pytest.mark.parametrize("name", NAMES)
def test_function_attributes(name):
    fn = getattr(dallowgate, name)
    parameters, _ = FUNCTIONS[name]
    assert fn.__name__ == name
    assert fn.__qualname__ == name
    assert fn.__module__ == "dallowgate"
    assert not HAS_SELF or fn.__self__ is dallowgate
    expected = SIGNATURES.get(name, "(" + ", ".join(p for p, _ in parameters) + ")")
    assert fn.__text_signature__ == expected
    assert fn.__doc__ == DOCS.get(name)
    assert type(fn).__name__ == "builtin_function_or_method"


def test_reimport_gives_new_working_functions():
    old = sys.modules.pop("dallowgate")
    try:
        new = importlib.import_module("dallowgate")
        assert new is not old
        assert new.__all__ == old.__all__ and new.__all__ is not old.__all__
        for name in NAMES:
            assert getattr(new, name) is not getattr(old, name)
            assert not HAS_SELF or getattr(new, name).__self__ is new
        auth_key = bytes(range(256))
        assert new.kdf(auth_key, b"k" * 16, True) == old.kdf(auth_key, b"k" * 16, True)
    finally:
        sys.modules["dallowgate"] = old


# The module keeps process-wide state and declares no support for interpreters of their own
# lock: an isolated interpreter refuses it, one that shares the main interpreter's lock loads it.
NEEDS_INTERPRETERS = pytest.mark.skipif(
    sys.version_info < (3, 14) or platform.python_implementation() != "CPython",
    reason="concurrent.interpreters is new in CPython 3.14")


@NEEDS_INTERPRETERS
def test_an_isolated_interpreter_refuses_the_import():
    from concurrent import interpreters

    interpreter = interpreters.create()
    try:
        with pytest.raises(interpreters.ExecutionFailed) as info:
            interpreter.exec("import dallowgate")
    finally:
        interpreter.close()
    assert info.value.excinfo.type.__name__ == "ImportError"
    assert info.value.excinfo.msg == "module dallowgate does not support loading in subinterpreters"


@NEEDS_INTERPRETERS
def test_an_interpreter_sharing_the_main_lock_imports_and_uses_it():
    import _interpreters

    auth_key = bytes(range(256))
    expected = dallowgate.kdf(auth_key, b"k" * 16, True)
    interpreter = _interpreters.create(_interpreters.new_config("legacy"))
    try:
        failure = _interpreters.run_string(interpreter, (
            "import dallowgate\n"
            f"assert dallowgate.kdf({auth_key!r}, b'k' * 16, True) == {expected!r}\n"))
    finally:
        _interpreters.destroy(interpreter)
    assert failure is None, failure.formatted
