"""kdf per call against the same derivation written in Python with hashlib."""

import hashlib
import os

import dallowgate


def python_kdf(auth_key, msg_key, outgoing):
    d = 0 if outgoing else 8
    sha256 = hashlib.sha256
    a = sha256(msg_key + auth_key[d:d + 36]).digest()
    b = sha256(auth_key[d + 40:d + 76] + msg_key).digest()
    return a[:8] + b[8:24] + a[24:], b[:8] + a[8:24] + b[24:]


def cases():
    auth_key, msg_key = os.urandom(256), os.urandom(16)
    assert dallowgate.kdf(auth_key, msg_key, True) == python_kdf(auth_key, msg_key, True)
    yield ("kdf, 16-byte msg_key",
           lambda: dallowgate.kdf(auth_key, msg_key, True),
           "hashlib in Python",
           lambda: python_kdf(auth_key, msg_key, True))
