# apt on a sources list and state folders of its own, for Debian's testing suite (or the suites
# named): sourced by unpack_testing.sh (binary packages), build_free_threaded.sh and
# cross/fetch_source.sh (source packages), so that the system's packages and apt configuration
# stay untouched.
#
# testing_apt STATE KIND [SUITE...]: makes the folders under STATE, writes one KIND line ("deb" or
# "deb-src") per suite (forky, Debian's testing suite, unless named; a "-security" suite from
# the security registry) from the same Debian registry as the system's own sources, sets
# apt_options to use them, and updates the lists.
testing_apt() {
  local state=$1 kind=$2 mirror suite
  shift 2
  mirror=$( (grep -hoE 'https?://[^ ]*/debian/?( |$)' /etc/apt/sources.list \
    /etc/apt/sources.list.d/* 2>/dev/null || true) | head -1 | tr -d ' ')
  mirror=${mirror:-http://deb.debian.org/debian}
  mirror=${mirror%/}
  mkdir -p "$state"/{lists/partial,cache/archives/partial}
  : > "$state/sources.list"
  for suite in "${@:-forky}"; do
    case $suite in
      *-security) echo "$kind $mirror-security $suite main" ;;
      *) echo "$kind $mirror $suite main" ;;
    esac >> "$state/sources.list"
  done
  apt_options=(
    -o "Dir::Etc::sourcelist=$state/sources.list" -o Dir::Etc::sourceparts=-
    -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache"
    -o Dir::State::status=/dev/null -o APT::Sandbox::User=root
  )
  apt-get "${apt_options[@]}" update -qq
}
