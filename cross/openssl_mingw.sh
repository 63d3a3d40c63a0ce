#!/usr/bin/env bash
# Builds libcrypto (a DLL and its import library) for x86-64 Windows with Debian's MinGW-w64
# cross compiler, from an OpenSSL source folder, once per version: the C++ tests built for
# Windows link it and run with it under Wine. Prints the installed folder (bin, lib, include).
#
# Usage: openssl_mingw.sh CACHE OPENSSL_SOURCE
set -euo pipefail
cache=$(realpath -m "$1")
source=$(realpath "$2")
prefix=$cache/cross/$(basename "$source")-mingw64
if [ ! -e "$prefix/.done" ]; then
  work=$prefix.build
  rm -rf "$prefix" "$work" && mkdir -p "$work"
  (
    cd "$work"
    perl "$source/Configure" mingw64 shared no-tests --cross-compile-prefix=x86_64-w64-mingw32- \
      "--prefix=$prefix" --libdir=lib
    make -j"$(nproc)" -s build_generated
    make -j"$(nproc)" -s libcrypto.dll.a
    mkdir -p "$prefix/bin" "$prefix/lib"
    cp libcrypto-3-x64.dll "$prefix/bin/"
    cp libcrypto.dll.a "$prefix/lib/"
    cp -r "$source/include" "$prefix/"
    cp include/openssl/*.h "$prefix/include/openssl/"
  ) > "$prefix.log" 2>&1 || { tail -30 "$prefix.log" >&2; exit 1; }
  rm -rf "$work"
  touch "$prefix/.done"
fi
echo "$prefix"
