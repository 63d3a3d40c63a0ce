"""Timing helpers for the benchmarks: best-of-N per-call times with perf_counter_ns."""

import time


def per_call_ns(fn, number, repeat):
    """Best per-call time in ns of `fn()` over `repeat` runs of `number` calls."""
    best = None
    for _ in range(repeat):
        start = time.perf_counter_ns()
        for _ in range(number):
            fn()
        elapsed = (time.perf_counter_ns() - start) / number
        best = elapsed if best is None else min(best, elapsed)
    return best


def calibrated_number(fn, target_ns=20_000_000):
    """How many calls of `fn` take roughly target_ns."""
    number = 1
    while True:
        start = time.perf_counter_ns()
        for _ in range(number):
            fn()
        if time.perf_counter_ns() - start >= target_ns // 10 or number >= 1 << 24:
            elapsed = time.perf_counter_ns() - start
            return max(1, int(number * target_ns / max(elapsed, 1)))
        number *= 4


def cpu_model():
    """The CPU's name, family and model, and whether it has AES-NI, VAES, AVX2 and AVX-512."""
    fields = {}
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                key, _, value = line.partition(":")
                fields.setdefault(key.strip(), value.strip())
    except OSError:
        import platform
        return platform.processor() or platform.machine()
    flags = set(fields.get("flags", "").split())
    features = ", ".join(name for name in ("aes", "vaes", "avx2", "avx512f")
                         if name in flags) or "no AES-NI"
    return (f"{fields.get('model name', '?')} (family {fields.get('cpu family', '?')}, "
            f"model {fields.get('model', '?')}; {features})")
