"""The source tree's rules, checked: which folders each folder's files may include, the one file
that asks the CPU for its features, where AES and SHA-256 instructions may appear, and how
generic code meets target regions. Prints each breach and fails on any."""

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
ANY_INCLUDE = re.compile(r'^#include ([<"])([^>"]+)[>"]', re.M)
# Headers of generic code say so; they are compiled inside the target region of the file that
# includes them.
GENERIC_MARK = "// Generic code: included by"
BEGIN, END = "DALLOWGATE_BEGIN_TARGET_REGION(", "DALLOWGATE_END_TARGET_REGION"
TARGET_ATTRIBUTE = re.compile(r"\b[A-Z0-9_]+_TARGET\b|__attribute__\(\(target")


def includes(text):
    """(is a project header, name) of each #include, in order."""
    return [(quote == '"', name) for quote, name in ANY_INCLUDE.findall(text)]


def closure(names, texts):
    """The project headers and standard headers that including `names` brings in."""
    seen, todo = set(), list(names)
    while todo:
        name = todo.pop()
        if name in seen:
            continue
        seen.add(name)
        if name in texts:
            todo.extend(included for _, included in includes(texts[name]))
    return seen


def region_breaches(relative, text, texts, generic):
    """Generic headers go inside a region, where nothing else is included, and everything they
    include comes before the region (an inline function of a shared header first compiled
    inside a region would carry the region's instructions to every other caller)."""
    breaches, before, inside, depth = [], [], [], 0
    for line in text.splitlines():
        if line.startswith(BEGIN):
            depth += 1
            if depth > 1:
                breaches.append(f"{relative}: a target region inside another")
        elif line.startswith(END):
            depth -= 1
            if depth < 0:
                breaches.append(f"{relative}: a target region closed that was not open")
        elif line.startswith("#include"):
            name = ANY_INCLUDE.match(line).group(2)
            (inside if depth else before).append(name)
    if depth > 0:
        breaches.append(f"{relative}: a target region left open")
    has_region = BEGIN in text
    # GCC (on aarch64) carries a target attribute met inside a region over to the region's
    # later functions: functions with targets of their own are defined outside regions.
    depth_now = 0
    for line in text.splitlines():
        if line.startswith(BEGIN):
            depth_now += 1
        elif line.startswith(END):
            depth_now -= 1
        elif depth_now and TARGET_ATTRIBUTE.search(line):
            breaches.append(f"{relative}: a target attribute inside a target region")
    for name in inside:
        if name not in generic:
            breaches.append(f"{relative}: includes {name} inside a target region (only generic "
                            "code belongs there)")
    for name in before:
        if name in generic and has_region:
            breaches.append(f"{relative}: includes generic {name} outside its target region")
    ready = closure(before, texts)
    for name in inside:
        for needed in closure([name], texts) - ready - generic:
            breaches.append(f"{relative}: {needed} (for {name}) is first included inside the "
                            "target region")
    return breaches


def main():
    breaches = []
    files = sorted(p for p in SRC.rglob("*") if p.suffix in (".cpp", ".hpp"))
    texts = {path.relative_to(SRC).as_posix(): path.read_text() for path in files}
    generic = {name for name, text in texts.items() if GENERIC_MARK in text}
    for path in files:
        relative = path.relative_to(SRC).as_posix()
        folder = relative.split("/")[0]
        text = texts[relative]
        if path.suffix == ".cpp":
            breaches += region_breaches(relative, text, texts, generic)
        elif relative not in generic:
            breaches += [f"{relative}: includes generic {name} (only source files and generic "
                         "headers may)" for quoted, name in includes(text) if name in generic]
        if relative in generic and TARGET_ATTRIBUTE.search(text):
            breaches.append(f"{relative}: generic code with a target attribute (it is compiled "
                            "inside target regions)")
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
