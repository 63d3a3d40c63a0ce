"""The release workflow, checked offline: zizmor (its strictest persona) finds nothing in it, it
validates against GitHub's workflow schema, and the wheels cibuildwheel would build on each
platform are exactly those the platform table names (wheel tag by interpreter).

Usage: check_release.py WORKFLOW TABLE_FILE
"""

import itertools
import os
import re
import subprocess
import sys
from pathlib import Path

BIN = Path(sys.executable).parent
# cibuildwheel's platforms and the architectures their runners build.
PLATFORMS = {"linux": {}, "macos": {"CIBW_ARCHS_MACOS": "x86_64 arm64"},
             "windows": {"CIBW_ARCHS_WINDOWS": "AMD64 ARM64"}}


def interpreters(text):
    """'CPython 3.9–3.15, 3.14t; PyPy 3.11, 3.12' -> cp39 ... cp315, cp314t, pp311, pp312."""
    names = []
    for part in text.split(";"):
        prefix = "pp" if "PyPy" in part else "cp"
        for low, high, free in re.findall(r"3\.(\d+)(?:–3\.(\d+))?(t?)", part):
            for minor in range(int(low), int(high or low) + 1):
                names.append(f"{prefix}3{minor}{free}")
    return names


def table_identifiers(table):
    """cibuildwheel's identifiers of the wheels the table's rows name."""
    found = set()
    for row in table.read_text(encoding="utf-8").splitlines():
        cells = [c.strip() for c in row.strip().strip("|").split("|")]
        if len(cells) >= 3 and re.fullmatch(r"`\w+`", cells[1]):
            tag = cells[1].strip("`")
            found |= {f"{name}-{tag}" for name in interpreters(cells[2])}
    return found


def built_identifiers():
    found = set()
    for platform, env in PLATFORMS.items():
        out = subprocess.run([BIN / "cibuildwheel", "--print-build-identifiers", "--platform",
                              platform], capture_output=True, text=True, check=True,
                             env={**os.environ, **env})
        found |= set(re.findall(r"^[cp]p3\d+t?-\w+$", out.stdout, re.M))
        # Those this machine cannot build but the platform's runner does (PyPy on arm64 macOS).
        for note in re.findall(r"Note: (.*) were selected, but can't be built", out.stdout + out.stderr):
            found |= set(re.findall(r"[cp]p3\d+t?-\w+", note))
    return found


def main():
    workflow, table = Path(sys.argv[1]), Path(sys.argv[2])
    failures = 0
    for command in ([BIN / "zizmor", "--offline", "--persona", "pedantic", workflow],
                    [BIN / "check-jsonschema", "--builtin-schema", "vendor.github-workflows",
                     workflow]):
        result = subprocess.run(command, capture_output=True, text=True)
        lines = [line for line in (result.stdout + result.stderr).splitlines()
                 if line.strip() and " INFO " not in line]
        print(f"{Path(command[0]).name}: {lines[-1] if lines else result.returncode}")
        failures += result.returncode != 0
    named, built = table_identifiers(table), built_identifiers()
    def order(identifier):
        name, platform = identifier.split("-", 1)
        return platform, name[:2], int(re.sub(r"\D", "", name)), name

    for platform, group in itertools.groupby(sorted(built, key=order), key=lambda i: order(i)[0]):
        print(f"cibuildwheel {platform:18} {' '.join(i.split('-')[0] for i in group)}")
    for extra in sorted(built - named):
        print(f"built but not in the table: {extra}")
    for missing in sorted(named - built):
        print(f"in the table but not built: {missing}")
    failures += built != named
    print(f"release: {len(built)} wheels, {'as the table names' if built == named else 'MISMATCH'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
