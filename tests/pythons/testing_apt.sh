# apt on a sources list and state folders of its own, for Debian's testing suite: sourced by
# unpack_testing.sh (binary packages) and build_free_threaded.sh (a source package), so that the
# system's packages and apt configuration stay untouched.
#
# testing_apt STATE KIND: makes the folders under STATE, writes one KIND line ("deb" or
# "deb-src") for the testing suite from the same Debian registry as the system's own sources,
# sets apt_options to use them, and updates the lists.
testing_apt() {
  local state=$1 kind=$2 suite=forky mirror
  mirror=$( (grep -hoE 'https?://[^ ]*/debian/?( |$)' /etc/apt/sources.list \
    /etc/apt/sources.list.d/* 2>/dev/null || true) | head -1 | tr -d ' ')
  mirror=${mirror:-http://deb.debian.org/debian}
  mkdir -p "$state"/{lists/partial,cache/archives/partial}
  echo "$kind ${mirror%/} $suite main" > "$state/sources.list"
  apt_options=(
    -o "Dir::Etc::sourcelist=$state/sources.list" -o Dir::Etc::sourceparts=-
    -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache"
    -o Dir::State::status=/dev/null -o APT::Sandbox::User=root
  )
  apt-get "${apt_options[@]}" update -qq
}
