"""The module's functions as a caller sees them: parameters, kinds and defaults."""

import dallowgate

BYTES, BYTEARRAY, INT64, INT32, BOOL = "bytes", "bytearray", "int64", "int32", "bool"

# name -> (parameters with kinds in order, number of required parameters)
FUNCTIONS = {
    "ige256_encrypt": ([("data", BYTES), ("key", BYTES), ("iv", BYTES)], 3),
    "ige256_decrypt": ([("data", BYTES), ("key", BYTES), ("iv", BYTES)], 3),
    "ctr256_encrypt": ([("src", BYTES), ("key", BYTES), ("iv", BYTEARRAY), ("state", BYTEARRAY)], 4),
    "ctr256_decrypt": ([("src", BYTES), ("key", BYTES), ("iv", BYTEARRAY), ("state", BYTEARRAY)], 4),
    "ctr256_encrypt_inplace": (
        [("data", BYTEARRAY), ("key", BYTES), ("iv", BYTEARRAY), ("state", BYTEARRAY)], 4),
    "ctr256_decrypt_inplace": (
        [("data", BYTEARRAY), ("key", BYTES), ("iv", BYTEARRAY), ("state", BYTEARRAY)], 4),
    "ctr256_encrypt_batch": ([("data_flat", BYTES), ("sizes", BYTEARRAY), ("key", BYTES),
                              ("ivs", BYTEARRAY), ("states", BYTEARRAY)], 5),
    "ctr256_decrypt_batch": ([("data_flat", BYTES), ("sizes", BYTEARRAY), ("key", BYTES),
                              ("ivs", BYTEARRAY), ("states", BYTEARRAY)], 5),
    "kdf": ([("auth_key", BYTES), ("msg_key", BYTES), ("outgoing", BOOL)], 3),
    "pack_message": ([("msg_id", INT64), ("seq_no", INT32), ("body", BYTES), ("salt", INT64),
                      ("session_id", BYTES), ("auth_key", BYTES), ("auth_key_id", BYTES)], 7),
    "unpack_message": ([("packed", BYTES), ("session_id", BYTES), ("auth_key", BYTES),
                        ("auth_key_id", BYTES), ("incoming", BOOL)], 4),
}

NAMES = list(FUNCTIONS)


def function(name):
    return getattr(dallowgate, name)


def valid_value(kind):
    """A value of the right kind; lengths may still be rejected by the function."""
    return {BYTES: b"", BYTEARRAY: bytearray(), INT64: 0, INT32: 0, BOOL: True}[kind]


def call_gets_past_conversion(fn, *args, **kwargs):
    """True when the call was not refused by argument matching or conversion."""
    try:
        fn(*args, **kwargs)
    except (TypeError, OverflowError):
        return False
    except Exception:  # a later rejection of lengths or contents
        pass
    return True
