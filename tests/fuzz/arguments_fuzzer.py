"""Differential fuzzing of argument handling: random counts, keywords and types for all eleven
functions, each call checked against the interpreter's own rules.

Matching is compared with a Python function of the same name and signature (its TypeError is
the interpreter's own; a surplus of positional arguments is reported first); conversion with the rules the tests encode: parameters in order, the
first of the wrong kind refused with its message (the interpreter's own for integers).

Usage: python arguments_fuzzer.py SECONDS [SEED]"""

import operator
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "python"))

import numpy as np  # noqa: E402

from functions import BOOL, BYTEARRAY, BYTES, FUNCTIONS, INT32, INT64, function  # noqa: E402

LIMITS = {INT64: (-2 ** 63, 2 ** 63 - 1), INT32: (-2 ** 31, 2 ** 31 - 1)}


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class BytesChild(bytes):
    pass


class ByteArrayChild(bytearray):
    pass


VALUES = [
    b"", b"x" * 32, bytes(256), BytesChild(b"k" * 32), bytearray(), bytearray(16), bytearray(1),
    ByteArrayChild(16), memoryview(b"m"), "text", None, True, False, np.bool_(True), 0, 1, -1,
    2 ** 31, -2 ** 31 - 1, 2 ** 63, -2 ** 63, 2 ** 64, Index(7), Index(2 ** 70), 1.5, np.int64(3),
    np.uint8(200), [1], (), object(),
]
BOGUS_KEYWORDS = ["extra", "Key", "data_", "self", ""]


def reference_for(name):
    """A Python function with `name`'s name and signature, for the interpreter's matching."""
    parameters, required = FUNCTIONS[name]
    names = [p for p, _ in parameters]
    signature = ", ".join(names[:required] + [f"{n}=True" for n in names[required:]])
    namespace = {}
    exec(f"def {name}({signature}):\n    return ({', '.join(names)},)\n", namespace)
    return namespace[name]


def qualname(value):
    return type(value).__qualname__


def conversion_error(kind, value):
    """The error that converting `value` to `kind` gives, or None when it converts."""
    if kind in (BYTES, BYTEARRAY):
        accepted = bytes if kind == BYTES else bytearray
        if isinstance(value, accepted):
            return None
        if value is None:
            return TypeError, f"'None' is not an instance of '{kind}'"
        return TypeError, f"'{qualname(value)}' object is not an instance of '{kind}'"
    if kind == BOOL:
        if isinstance(value, (bool, np.bool_)):
            return None
        if value is None:
            return TypeError, "'None' is not an instance of 'bool'"
        return TypeError, f"'{qualname(value)}' object is not an instance of 'bool'"
    try:
        number = operator.index(value)
    except Exception as error:  # noqa: BLE001 - the interpreter's own
        return type(error), str(error)
    low, high = LIMITS[kind]
    if not low <= number <= high:
        return OverflowError, None  # the message is the interpreter's, not compared
    return None


def expected_outcome(name, args, kwargs):
    # The module reports too many positional arguments before looking at keywords (the
    # interpreter looks at keywords first); the wording is the interpreter's.
    surplus = len(args) > len(FUNCTIONS[name][0])
    try:
        bound = reference_for(name)(*args, **({} if surplus else kwargs))
    except TypeError as error:
        return TypeError, str(error)
    for (_, kind), value in zip(FUNCTIONS[name][0], bound):
        error = conversion_error(kind, value)
        if error:
            return error
    return None  # past conversion: a ValueError on lengths or a result


def actual_outcome(name, args, kwargs):
    try:
        function(name)(*args, **kwargs)
    except (TypeError, OverflowError) as error:
        return type(error), str(error)
    except (ValueError, RuntimeError, OSError):
        return None
    return None


GOOD = {BYTES: [b"", b"k" * 32, BytesChild(b"c" * 16)], BYTEARRAY: [bytearray(16), bytearray(1)],
        INT64: [0, -5, 2 ** 62, Index(9), np.int64(3)], INT32: [0, 7, -2 ** 31, True],
        BOOL: [True, False, np.bool_(False)]}


def random_value(rng, kind):
    """Mostly a value of the right kind, so that later parameters get converted too."""
    return rng.choice(GOOD[kind]) if kind and rng.random() < 0.85 else rng.choice(VALUES)


def random_call(rng):
    name = rng.choice(list(FUNCTIONS))
    parameters = FUNCTIONS[name][0]
    count = len(parameters) if rng.random() < 0.5 else rng.randint(0, len(parameters) + 1)
    kinds = [k for _, k in parameters] + [None]
    args = [random_value(rng, kinds[min(i, len(parameters))]) for i in range(count)]
    names = [p for p, _ in parameters]
    kwargs = {}
    if rng.random() < 0.6:
        for keyword in rng.sample(names, rng.randint(0, len(names))):
            kwargs[keyword] = random_value(rng, dict(parameters)[keyword])
        if count and rng.random() < 0.5:  # the rest of the call by keyword instead
            for keyword, kind in parameters[rng.randint(0, count - 1):]:
                kwargs.setdefault(keyword, random_value(rng, kind))
            args = args[:rng.randint(0, count - 1)]
    if rng.random() < 0.1:
        kwargs[rng.choice(BOGUS_KEYWORDS)] = rng.choice(VALUES)
    return name, args, kwargs


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else random.randrange(2 ** 32)
    rng = random.Random(seed)
    deadline, calls, refused = time.monotonic() + seconds, 0, 0
    while time.monotonic() < deadline:
        for _ in range(200):
            name, args, kwargs = random_call(rng)
            expected = expected_outcome(name, args, kwargs)
            actual = actual_outcome(name, args, kwargs)
            if expected and expected[1] is None and actual:  # an OverflowError of any wording
                actual = (actual[0], None)
            if expected != actual:
                print(f"MISMATCH (seed {seed}) {name}(*{args!r}, **{kwargs!r}):\n"
                      f"  expected {expected}\n  actual   {actual}")
                return 1
            calls += 1
            refused += expected is not None
    print(f"arguments fuzzer: {calls} calls, {refused} refused as the interpreter would, "
          f"no mismatch (seed {seed})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
