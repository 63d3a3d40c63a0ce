#!/usr/bin/env bash
# Builds free-threaded CPython 3.13 (3.13t: configured with --disable-gil) from the source
# package of Debian's testing suite into FOLDER, leaving the system's packages and apt
# configuration untouched; with --tsan, a build with ThreadSanitizer for `make check-tsan`.
# Debian ships no free-threaded interpreter, and its testing suite's 3.14 and 3.15 source
# packages are not at hand here, so 3.13t is the free-threaded interpreter these machines run.
#
# Usage: build_free_threaded.sh FOLDER [--tsan]
set -euo pipefail
. "$(dirname "$0")/testing_apt.sh"

folder=$(realpath -m "$1")
options=(--disable-gil --disable-test-modules "--prefix=$folder")
[ "${2:-}" = --tsan ] && options+=(--with-thread-sanitizer)

work=$folder.build
rm -rf "$folder" "$work"
mkdir -p "$work/source"
testing_apt "$work" deb-src
(cd "$work/source" && apt-get "${apt_options[@]}" source --download-only -qq python3.13)
tar -xf "$work"/source/python3.13_*.orig.tar.xz -C "$work/source"
cd "$work"/source/Python-3.13.*/
./configure -q "${options[@]}"
make -s -j"$(nproc)"
make -s install >/dev/null
"$folder/bin/python3.13t" -c 'import platform, ssl, sys, sysconfig
assert sysconfig.get_config_var("Py_GIL_DISABLED"), "not a free-threaded build"
print(sys.executable, platform.python_version(), "free-threaded", ssl.OPENSSL_VERSION)'
rm -rf "$work"
