#!/usr/bin/env bash
# Builds free-threaded CPython 3.13 (3.13t: configured with --disable-gil) from the source
# package of Debian's testing suite, leaving the system's packages and apt configuration
# untouched; with --tsan, a build with ThreadSanitizer for `make check-tsan`. The build is kept
# in CACHE, outside the clone, once per version of the source package, and LINK is made to
# point at it. Debian ships no free-threaded interpreter, and its testing suite's 3.14 and 3.15
# source packages are not at hand here, so 3.13t is the free-threaded interpreter these
# machines run.
#
# Usage: build_free_threaded.sh CACHE LINK [--tsan]
set -euo pipefail
here=$(dirname "$(realpath "$0")")
cache=$(realpath -m "$1")
link=$(realpath -m "$2")
options=(--disable-gil --disable-test-modules)
flavour=free-threaded
if [ "${3:-}" = --tsan ]; then
  options+=(--with-thread-sanitizer)
  flavour=free-threaded-tsan
fi

source=$("$here/../../cross/fetch_source.sh" "$cache" python3.13 forky)
folder=$cache/cpython/$(basename "$source")-$flavour
if [ ! -e "$folder/.done" ]; then
  work=$folder.build
  rm -rf "$folder" "$work"
  mkdir -p "$work"
  cd "$work"
  "$source/configure" -q "${options[@]}" "--prefix=$folder"
  make -s -j"$(nproc)"
  make -s install >/dev/null
  "$folder/bin/python3.13t" -c 'import platform, ssl, sys, sysconfig
assert sysconfig.get_config_var("Py_GIL_DISABLED"), "not a free-threaded build"
print(sys.executable, platform.python_version(), "free-threaded", ssl.OPENSSL_VERSION)'
  cd /
  rm -rf "$work"
  touch "$folder/.done"
fi
mkdir -p "$(dirname "$link")"
ln -sfn "$folder" "$link"
