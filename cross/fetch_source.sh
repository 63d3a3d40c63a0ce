#!/usr/bin/env bash
# Unpacks the upstream source of a Debian source package into CACHE/sources/PACKAGE-VERSION,
# once per version, and prints that folder. Only the upstream tarball is fetched (its SHA-256
# checked against the package's index); Debian's patches are not needed for what the cross
# builds take from it (headers, and libcrypto for Windows).
#
# Usage: fetch_source.sh CACHE PACKAGE SUITE...
set -euo pipefail
. "$(dirname "$0")/../tests/pythons/testing_apt.sh"

cache=$(realpath -m "$1")
package=$2
shift 2
state=$cache/apt
testing_apt "$state" deb-src "$@" >&2
version=$(apt-get "${apt_options[@]}" source --print-uris -qq "$package" 2>/dev/null |
  grep -oE "${package}_[^ ]+\.orig\.tar\.[a-z]+ " | head -1 | sed -E "s/^${package}_(.*)\.orig\..*/\1/")
[ -n "$version" ] || { echo "no source of $package in $*" >&2; exit 1; }
folder=$cache/sources/$package-$version
if [ ! -e "$folder/.done" ]; then
  work=$(mktemp -d "$cache/fetch.XXXXXX")
  read -r url name _ sum < <(cd "$work" && apt-get "${apt_options[@]}" source --print-uris -qq \
    "$package" | grep -E "\.orig\.tar\.[a-z]+' ")
  url=${url//\'/}
  curl -fsSL --retry 3 -o "$work/$name" "$url"
  echo "${sum#SHA256:}  $work/$name" | sha256sum -c --quiet
  rm -rf "$folder" && mkdir -p "$folder"
  tar -xf "$work/$name" -C "$folder" --strip-components=1
  rm -rf "$work"
  touch "$folder/.done"
fi
echo "$folder"
