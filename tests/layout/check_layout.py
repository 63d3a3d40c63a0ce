"""The source tree's rules, checked: which folders each folder's files may include, the one file
that asks the CPU for its features, and where AES and SHA-256 instructions may appear. Prints
each breach and fails on any."""

import pathlib
import re
import sys

SRC = pathlib.Path(__file__).resolve().parents[2] / "src"

# Each folder, and the folders its files may include (its own included).
MAY_INCLUDE = {
    "common": {"common"},
    "aes": {"aes", "common"},
    "sha256": {"sha256", "common"},
    "modes": {"modes", "aes", "common"},
    "message": {"message", "modes", "aes", "sha256", "common"},
    "binding": {"binding", "common"},
    "module": {"module", "binding", "message", "modes", "aes", "common"},
}
# Patterns that may appear only under the given folders (or in the one file named).
CONFINED = [
    ("asks the CPU", r"__get_cpuid|<cpuid\.h>|xgetbv|getauxval|sysctlbyname|IsProcessorFeaturePresent",
     ["common/cpu_features.cpp"]),
    ("AES instruction", r"_mm(256|512)?_aes|\bvaes[edm]|\bvaesimc", ["aes/"]),
    ("SHA-256 compression", r"_mm_sha256|\bvsha256|\bSHA256_(Init|Update|Final)\b", ["sha256/"]),
    ("Python header", r'#include "binding/python\.hpp"|<Python\.h>', ["binding/", "module/"]),
]
INCLUDE = re.compile(r'^#include "([a-z0-9_]+)/', re.M)


def main():
    breaches = []
    files = sorted(p for p in SRC.rglob("*") if p.suffix in (".cpp", ".hpp"))
    for path in files:
        relative = path.relative_to(SRC).as_posix()
        folder = relative.split("/")[0]
        text = path.read_text()
        allowed = MAY_INCLUDE.get(folder)
        if allowed is None:
            breaches.append(f"{relative}: in a folder with no rules ({folder})")
            continue
        for included in INCLUDE.findall(text):
            if included not in allowed:
                breaches.append(f"{relative}: includes {included}/, which {folder}/ may not")
        for what, pattern, places in CONFINED:
            if re.search(pattern, text) and not any(relative.startswith(p) for p in places):
                breaches.append(f"{relative}: {what}, allowed only in {', '.join(places)}")
    for breach in breaches:
        print(breach)
    print(f"layout: {len(files)} files, {len(breaches)} breaches")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
