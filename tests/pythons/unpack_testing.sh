#!/usr/bin/env bash
# Unpacks CPython 3.14, CPython 3.15 and PyPy from Debian's testing suite into one folder,
# leaving the system's packages and apt configuration untouched, and makes each interpreter
# runnable in place: its binary is pointed at the folder's own dynamic loader and libraries,
# so that virtual environments and the build's subprocesses work as with any interpreter.
#
# Usage: unpack_testing.sh FOLDER PATCHELF
set -euo pipefail
. "$(dirname "$0")/testing_apt.sh"

folder=$(realpath -m "$1")
patchelf=$(realpath "$2")
packages=(
  python3.14 python3.14-minimal libpython3.14-minimal libpython3.14-stdlib python3.14-dev
  libpython3.14-dev libpython3.14
  python3.15 python3.15-minimal libpython3.15-minimal libpython3.15-stdlib python3.15-dev
  libpython3.15-dev libpython3.15
  pypy3 pypy3-lib pypy3-dev
  libc6 libssl3t64 libstdc++6 libgcc-s1 libffi8 libexpat1 libzstd1 zlib1g libbz2-1.0 liblzma5
  libmpdec4 libsqlite3-0 libuuid1 libncursesw6 libtinfo6 libreadline8t64 libcrypt1
  libgdbm6t64 libdb5.3t64 python3-pip-whl
)

apt_state=$folder.apt
rm -rf "$folder" "$apt_state"
mkdir -p "$apt_state/debs" "$folder"
testing_apt "$apt_state" deb
(cd "$apt_state/debs" && apt-get "${apt_options[@]}" download -qq "${packages[@]}")
for deb in "$apt_state"/debs/*.deb; do dpkg -x "$deb" "$folder"; done

loader=$(ls "$folder"/usr/lib*/ld-linux*.so.* | head -1)
libraries=$folder/usr/lib/$(gcc -print-multiarch)
# DT_RPATH rather than DT_RUNPATH: it also serves the libraries that the interpreter's
# extension modules load, ours included.
for binary in python3.14 python3.15 pypy3; do
  "$patchelf" --set-interpreter "$loader" --force-rpath --set-rpath "$libraries" \
    "$(realpath "$folder/usr/bin/$binary")"
done
# Debian's pyconfig.h only includes the one under the multiarch folder; put that one in place.
for version in 3.14 3.15; do
  cp "$folder/usr/include/$(gcc -print-multiarch)/python$version/pyconfig.h" \
    "$folder/usr/include/python$version/pyconfig.h"
done
for binary in python3.14 python3.15 pypy3; do
  "$folder/usr/bin/$binary" -c 'import platform, ssl, sys
print(sys.executable, platform.python_implementation(), platform.python_version(), ssl.OPENSSL_VERSION)'
done
rm -rf "$apt_state"
