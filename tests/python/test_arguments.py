"""Argument matching and conversion, the same for every function."""

import operator
import sys

import pytest

from functions import (BOOL, BYTEARRAY, BYTES, FUNCTIONS, INT32, INT64, NAMES,
                       call_gets_past_conversion, function, valid_value)

HAS_NOTES = sys.version_info >= (3, 11)

try:
    import numpy as np
except ImportError:  # no wheel for this interpreter (PyPy 8.0): the numpy cases are left out
    np = None


def with_numpy(make):
    """The values `make(numpy)` gives, or none without numpy."""
    return make(np) if np else []


def parameters(name):
    return FUNCTIONS[name][0]


def valid_arguments(name):
    return [valid_value(kind) for _, kind in parameters(name)]


def raised(fn, *args, **kwargs):
    with pytest.raises(BaseException) as info:
        fn(*args, **kwargs)
    return info.value


def quoted_list(names):
    quoted = [f"'{n}'" for n in names]
    if len(quoted) == 1:
        return quoted[0]
    if len(quoted) == 2:
        return f"{quoted[0]} and {quoted[1]}"
    return ", ".join(quoted[:-1]) + ", and " + quoted[-1]


def wrong_object(kind):
    """An object of the wrong type and the message that refuses it (None: interpreter's own)."""
    return {
        BYTES: ("text", "'str' object is not an instance of 'bytes'"),
        BYTEARRAY: (b"bytes", "'bytes' object is not an instance of 'bytearray'"),
        INT64: (1.5, None),
        INT32: ("7", None),
        BOOL: (1, "'int' object is not an instance of 'bool'"),
    }[kind]


# --- matching --------------------------------------------------------------------------------

@pytest.mark.parametrize("name", NAMES)
def test_too_many_positional_arguments(name):
    params, required = FUNCTIONS[name]
    count = len(params)
    error = raised(function(name), *([None] * (count + 1)))
    if required < count:
        expected = f"{name}() takes from {required} to {count} positional arguments but {count + 1} were given"
    else:
        expected = f"{name}() takes {count} positional arguments but {count + 1} were given"
    assert type(error) is TypeError and str(error) == expected
    assert not getattr(error, "__notes__", None)


@pytest.mark.parametrize("name", NAMES)
@pytest.mark.parametrize("given", [0, 1, 2])
def test_missing_arguments_are_listed(name, given):
    params, required = FUNCTIONS[name]
    missing = [p for p, _ in params[given:required]]
    error = raised(function(name), *valid_arguments(name)[:given])
    word = "argument" if len(missing) == 1 else "arguments"
    assert type(error) is TypeError
    assert str(error) == f"{name}() missing {len(missing)} required positional {word}: {quoted_list(missing)}"


@pytest.mark.parametrize("name", NAMES)
def test_missing_arguments_given_by_keyword_are_not_listed(name):
    params, required = FUNCTIONS[name]
    first, last = params[0][0], params[required - 1][0]
    kwargs = {first: valid_value(params[0][1]), last: valid_value(params[required - 1][1])}
    missing = [p for p, _ in params[1:required - 1]]
    error = raised(function(name), **kwargs)
    word = "argument" if len(missing) == 1 else "arguments"
    assert str(error) == f"{name}() missing {len(missing)} required positional {word}: {quoted_list(missing)}"


def test_missing_list_examples():
    import dallowgate
    assert str(raised(dallowgate.kdf, b"", b"")) == "kdf() missing 1 required positional argument: 'outgoing'"
    assert str(raised(dallowgate.kdf, b"")) == "kdf() missing 2 required positional arguments: 'msg_key' and 'outgoing'"
    assert str(raised(dallowgate.ige256_encrypt)) == (
        "ige256_encrypt() missing 3 required positional arguments: 'data', 'key', and 'iv'")


@pytest.mark.parametrize("name", NAMES)
def test_unexpected_keyword_wins_over_missing_arguments(name):
    error = raised(function(name), extra=1)
    assert type(error) is TypeError
    assert str(error) == f"{name}() got an unexpected keyword argument 'extra'"


@pytest.mark.parametrize("name", NAMES)
def test_unexpected_keyword_after_all_valid_keywords(name):
    kwargs = {p: valid_value(k) for p, k in parameters(name)}
    kwargs["extra"] = 0
    assert str(raised(function(name), **kwargs)) == f"{name}() got an unexpected keyword argument 'extra'"


@pytest.mark.parametrize("name", NAMES)
def test_keywords_are_case_sensitive(name):
    first = parameters(name)[0][0]
    error = raised(function(name), **{first.capitalize(): 0})
    assert str(error) == f"{name}() got an unexpected keyword argument '{first.capitalize()}'"


def test_unexpected_keyword_that_is_not_utf8_encodable():
    import dallowgate
    error = raised(dallowgate.kdf, **{"\udc80": 1})
    assert str(error) == "kdf() got an unexpected keyword argument '\udc80'"


@pytest.mark.parametrize("name", NAMES)
def test_multiple_values_for_an_argument(name):
    params = parameters(name)
    first = params[0][0]
    # Count and missing arguments come later: a duplicate is reported first.
    error = raised(function(name), valid_value(params[0][1]), **{first: valid_value(params[0][1])})
    assert type(error) is TypeError
    assert str(error) == f"{name}() got multiple values for argument '{first}'"


def test_multiple_values_example():
    import dallowgate
    error = raised(dallowgate.kdf, b"", auth_key=b"", msg_key=b"", outgoing=True)
    assert str(error) == "kdf() got multiple values for argument 'auth_key'"


@pytest.mark.parametrize("name", NAMES)
def test_count_is_reported_before_types(name):
    params, _ = FUNCTIONS[name]
    error = raised(function(name), *([object()] * (len(params) + 1)))
    assert "positional arguments but" in str(error)


# --- conversion ------------------------------------------------------------------------------

CONVERSION_CASES = [(name, index) for name in NAMES for index in range(len(parameters(name)))]


@pytest.mark.parametrize("name,index", CONVERSION_CASES)
def test_wrong_type_is_reported_with_a_note(name, index):
    param, kind = parameters(name)[index]
    args = valid_arguments(name)
    bad, message = wrong_object(kind)
    args[index] = bad
    error = raised(function(name), *args)
    assert type(error) is TypeError
    if message is not None:
        assert str(error) == message
    if HAS_NOTES:
        assert error.__notes__ == [f"while processing '{param}'"]


@pytest.mark.parametrize("name,index", CONVERSION_CASES)
def test_none_is_refused(name, index):
    param, kind = parameters(name)[index]
    args = valid_arguments(name)
    args[index] = None
    error = raised(function(name), *args)
    assert type(error) is TypeError
    if kind in (BYTES, BYTEARRAY, BOOL):
        assert str(error) == f"'None' is not an instance of '{kind}'"


@pytest.mark.parametrize("name", NAMES)
def test_first_bad_parameter_in_parameter_order_wins(name):
    params = parameters(name)
    kwargs = {p: wrong_object(k)[0] for p, k in reversed(params)}  # keywords in reverse order
    error = raised(function(name), **kwargs)
    if HAS_NOTES:
        assert error.__notes__ == [f"while processing '{params[0][0]}'"]
    message = wrong_object(params[0][1])[1]
    if message:
        assert str(error) == message


@pytest.mark.parametrize("name", NAMES)
def test_all_by_keyword_equals_positional(name):
    params = parameters(name)
    args = valid_arguments(name)
    kwargs = dict(reversed(list(zip((p for p, _ in params), args))))
    try:
        positional = function(name)(*args)
    except Exception as error:  # noqa: BLE001 - compare what each form raises
        positional = (type(error), str(error))
    try:
        keyword = function(name)(**kwargs)
    except Exception as error:  # noqa: BLE001
        keyword = (type(error), str(error))
    assert positional == keyword


class BytesChild(bytes):
    pass


class ByteArrayChild(bytearray):
    pass


BYTE_CASES = [(name, index) for name, index in CONVERSION_CASES
              if parameters(name)[index][1] in (BYTES, BYTEARRAY)]


@pytest.mark.parametrize("name,index", BYTE_CASES)
def test_subclasses_of_bytes_and_bytearray_are_accepted(name, index):
    kind = parameters(name)[index][1]
    args = valid_arguments(name)
    args[index] = BytesChild(args[index]) if kind == BYTES else ByteArrayChild(args[index])
    assert call_gets_past_conversion(function(name), *args)


@pytest.mark.parametrize("bad", [bytearray(b"x"), memoryview(b"x"), "x", 1, [1]])
def test_byte_string_parameters_refuse_other_buffers(bad):
    import dallowgate
    error = raised(dallowgate.kdf, bad, b"", True)
    assert str(error) == f"'{type(bad).__qualname__}' object is not an instance of 'bytes'"


class Indexable:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


INT_CASES = [(name, index) for name in NAMES for index, (_, k) in enumerate(parameters(name))
             if k in (INT64, INT32)]


@pytest.mark.parametrize("name,index", INT_CASES)
@pytest.mark.parametrize("value", [True, False, -1, Indexable(5),
                                   *with_numpy(lambda np: [np.int64(3), np.uint8(200)])])
def test_integer_parameters_accept_index_objects_and_bool(name, index, value):
    args = valid_arguments(name)
    args[index] = value
    assert call_gets_past_conversion(function(name), *args)


@pytest.mark.parametrize("name,index", INT_CASES)
def test_integer_limits(name, index):
    bits = 64 if parameters(name)[index][1] == INT64 else 32
    low, high = -(2 ** (bits - 1)), 2 ** (bits - 1) - 1
    for value in (low, high, Indexable(high)):
        args = valid_arguments(name)
        args[index] = value
        assert call_gets_past_conversion(function(name), *args)
    for value in (low - 1, high + 1, 2 ** 200, Indexable(high + 1)):
        args = valid_arguments(name)
        args[index] = value
        error = raised(function(name), *args)
        assert type(error) is OverflowError
        if HAS_NOTES:
            assert error.__notes__ == [f"while processing '{parameters(name)[index][0]}'"]


@pytest.mark.parametrize("name,index", INT_CASES)
@pytest.mark.parametrize("value", [1.0, "1", b"1", None, Indexable(1.5)])
def test_integer_parameters_refuse_non_integers(name, index, value):
    args = valid_arguments(name)
    args[index] = value
    error = raised(function(name), *args)
    assert type(error) is TypeError


BOOL_CASES = [(name, index) for name in NAMES for index, (_, k) in enumerate(parameters(name))
              if k == BOOL]


@pytest.mark.parametrize("name,index", BOOL_CASES)
@pytest.mark.parametrize("value", [True, False,
                                   *with_numpy(lambda np: [np.bool_(True), np.bool_(False)])])
def test_flags_accept_bool_and_numpy_bool(name, index, value):
    args = valid_arguments(name)
    args[index] = value
    assert call_gets_past_conversion(function(name), *args)


@pytest.mark.parametrize("name,index", BOOL_CASES)
@pytest.mark.parametrize("value,type_name", [
    (1, "int"), (0, "int"), ("True", "str"),
    *with_numpy(lambda np: [(np.int64(1), "int64"), (np.array(True), "ndarray")]),
    (1.0, "float"),
])
def test_flags_refuse_everything_else(name, index, value, type_name):
    args = valid_arguments(name)
    args[index] = value
    error = raised(function(name), *args)
    assert type(error) is TypeError
    assert str(error) == f"'{type_name}' object is not an instance of 'bool'"


@pytest.mark.skipif(np is None, reason="numpy is not installed")
def test_numpy_bool_gives_its_truth_value():
    import dallowgate
    auth_key = bytes(range(256))
    assert dallowgate.kdf(auth_key, b"m", np.bool_(False)) == dallowgate.kdf(auth_key, b"m", False)
    assert dallowgate.kdf(auth_key, b"m", np.bool_(True)) == dallowgate.kdf(auth_key, b"m", True)


def test_type_name_is_the_qualified_name():
    import dallowgate

    class Outer:
        class Inner:
            pass

    error = raised(dallowgate.kdf, Outer.Inner(), b"", True)
    assert str(error) == ("'test_type_name_is_the_qualified_name.<locals>.Outer.Inner' object "
                          "is not an instance of 'bytes'")


@pytest.mark.parametrize("name,index", CONVERSION_CASES)
def test_type_name_with_a_lone_surrogate_is_kept(name, index):
    surrogate = type("S", (), {})
    surrogate.__qualname__ = "S\udcffX"
    args = valid_arguments(name)
    args[index] = surrogate()
    message = str(raised(function(name), *args))
    kind = parameters(name)[index][1]
    if kind in (INT64, INT32):  # the interpreter's own message
        assert message == str(raised(operator.index, args[index]))
    else:
        assert message == f"'S\udcffX' object is not an instance of '{kind}'"


def fake_numpy_bool(**namespace):
    return type("bool_", (), {"__module__": "numpy", **namespace})()


def test_numpy_bool_lookalike_without_truth_slot():
    import dallowgate
    fake = fake_numpy_bool()
    error = raised(dallowgate.kdf, bytes(256), b"", fake)
    assert type(error) is TypeError
    assert str(error) == f"object of type '{type(fake)}' does not define a '__bool__' conversion"


def test_numpy_bool_lookalike_whose_truth_fails():
    import dallowgate

    def failing(self):
        raise ZeroDivisionError("no truth here")

    error = raised(dallowgate.kdf, bytes(256), b"", fake_numpy_bool(__bool__=failing))
    assert type(error) is ZeroDivisionError and str(error) == "no truth here"
    if HAS_NOTES:
        assert error.__notes__ == ["while processing 'outgoing'"]
