"""Throughput against input size, from 16 B to 1 MiB, of ctr256_encrypt, ige256_encrypt,
pack_message and unpack_message and of their peers in run.py, timed in turns in one run and
drawn with matplotlib into a PNG named after the CPU, with the hardware bounds of CTR (the widest
AES the CPU has) and IGE (the serial chain of AES rounds) where bench/'s programs are built.

Usage: python throughput.py [OUTPUT.png]"""

import datetime
import os
import platform
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import dallowgate  # noqa: E402
from ctr_bench import new_encryptor  # noqa: E402
from ige_bench import openssl_ige  # noqa: E402
from native import measure, measure_all  # noqa: E402
from message_bench import AUTH_KEY, AUTH_KEY_ID, SESSION_ID, python_pack, python_unpack  # noqa: E402
from run import format_ns, timed_in_turns  # noqa: E402
from timing import cpu_model  # noqa: E402

SIZES = [16 << (2 * step) for step in range(9)]  # 16 B, 64 B, ... 1 MiB
TARGET_NS, REPEAT = 10_000_000, 5


def bounds():
    """name -> (label, ns per MiB) of the hardware bounds measured here."""
    found = {}
    widths = [(width, ns) for width, ns in zip((128, 256, 512), measure_all("aes_width_bounds") or [])
              if ns is not None]
    if widths:
        found["ctr256_encrypt"] = (f"bound: AES rounds on {widths[-1][0]}-bit registers", widths[-1][1])
    chain = measure("aes_chain")
    if chain:
        found["ige256_encrypt"] = ("bound: 14 dependent AES rounds per block", chain)
    return found


def subjects():
    """name -> (peer name, data -> (our call, the peer's call))."""
    key, iv32, counter = os.urandom(32), os.urandom(32), os.urandom(16)
    encryptor = new_encryptor(key, counter)
    iv, state = bytearray(counter), bytearray(1)
    openssl = openssl_ige()
    fields = (SESSION_ID, AUTH_KEY, AUTH_KEY_ID)

    def ctr(data):
        return (lambda: dallowgate.ctr256_encrypt(data, key, iv, state),
                lambda: encryptor.update(data))

    def ige(data):
        return (lambda: dallowgate.ige256_encrypt(data, key, iv32),
                lambda: openssl(data, key, iv32, True))

    def pack(body):
        return (lambda: dallowgate.pack_message(1, 2, body, 3, *fields),
                lambda: python_pack(1, 2, body, 3, *fields))

    def unpack(body):
        ours, theirs = dallowgate.pack_message(1, 2, body, 3, *fields), python_pack(1, 2, body, 3, *fields)
        return (lambda: dallowgate.unpack_message(ours, *fields, False),
                lambda: python_unpack(theirs, *fields, False))

    made = {"ctr256_encrypt": ("cryptography, one long-lived CTR encryptor", ctr)}
    if openssl:
        made["ige256_encrypt"] = ("OpenSSL AES_ige_encrypt through ctypes", ige)
    made["pack_message"] = ("Python: os.urandom, hashlib, module IGE", pack)
    made["unpack_message"] = ("Python: hashlib, module IGE", unpack)
    return made


def series():
    """(function, peer name, [(size, our ns, peer ns)]) for each chart."""
    for name, (peer_name, make) in subjects().items():
        points = []
        for size in SIZES:
            ours_ns, peer_ns = timed_in_turns(list(make(os.urandom(size))), TARGET_NS, REPEAT)
            print(f"{name:<16} {size_label(size):>8}  {format_ns(ours_ns):>10}  {peer_name}: "
                  f"{format_ns(peer_ns):>10}  {peer_ns / ours_ns:6.2f}x", flush=True)
            points.append((size, ours_ns, peer_ns))
        yield name, peer_name, points


def size_label(size):
    return f"{size >> 20} MiB" if size >= 1 << 20 else f"{size >> 10} KiB" if size >= 1024 \
        else f"{size} B"


def draw(charts, output, limits):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    figure, axes = plt.subplots(2, 2, figsize=(12, 8.5), sharex=True)
    for axis, (name, peer_name, points) in zip(axes.flat, charts):
        sizes = [size for size, _, _ in points]
        for label, column, style in (("dallowgate", 1, "o-"), (peer_name, 2, "s--")):
            axis.plot(sizes, [size / point[column] * 1e3 for size, point in zip(sizes, points)],
                      style, label=label)
        if name in limits:
            label, ns_per_mib = limits[name]
            axis.axhline((1 << 20) / ns_per_mib * 1e3, color="grey", linestyle=":", label=label)
        axis.set_title(name)
        axis.set_xscale("log", base=2)
        axis.set_yscale("log")
        axis.set_xticks(sizes, [size_label(size) for size in sizes], rotation=45)
        axis.set_ylabel("MB/s (of the body for messages)")
        axis.grid(True, which="both", alpha=0.3)
        axis.legend(fontsize=8)
    figure.suptitle(f"dallowgate {dallowgate_version()} on {cpu_model()}\n"
                    f"{platform.python_implementation()} {platform.python_version()}, "
                    f"{datetime.date.today().isoformat()}; best of {REPEAT} timed in turns with the "
                    "peer; higher is better", fontsize=10)
    figure.tight_layout()
    figure.savefig(output, dpi=90)
    print(f"drawn: {output}")


def dallowgate_version():
    import importlib.metadata
    try:
        return importlib.metadata.version("dallowgate")
    except importlib.metadata.PackageNotFoundError:
        return "(not installed)"


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "throughput.png")
    print(f"CPU: {cpu_model()}")
    draw(list(series()), output, bounds())


if __name__ == "__main__":
    main()
