"""Independent references for the tests: AES-256 from the cryptography package, with the
modes written out here over AES-ECB."""

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes


def aes_ecb(key, enc=True):
    cipher = Cipher(algorithms.AES(key), modes.ECB())
    return cipher.encryptor() if enc else cipher.decryptor()


def aes_block(key, block):
    return aes_ecb(key).update(block)


def _xor(a, b):
    return (int.from_bytes(a, "little") ^ int.from_bytes(b, "little")).to_bytes(16, "little")


def ige_encrypt(data, key, iv):
    ecb = aes_ecb(key).update
    c_prev, p_prev = iv[:16], iv[16:32]
    whole = len(data) // 16 * 16
    out = []
    for i in range(0, whole, 16):
        p = data[i:i + 16]
        c = _xor(ecb(_xor(p, c_prev)), p_prev)
        out.append(c)
        c_prev, p_prev = c, p
    return b"".join(out) + data[whole:]


def ige_decrypt(data, key, iv):
    ecb = aes_ecb(key, enc=False).update
    c_prev, p_prev = iv[:16], iv[16:32]
    whole = len(data) // 16 * 16
    out = []
    for i in range(0, whole, 16):
        c = data[i:i + 16]
        p = _xor(ecb(_xor(c, p_prev)), c_prev)
        out.append(p)
        c_prev, p_prev = c, p
    return b"".join(out) + data[whole:]
