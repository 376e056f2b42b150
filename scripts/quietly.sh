# Sourced by the scripts that keep the output of the tools they run off the
# screen: setup.sh (the package manager) and demo.sh (CMake).
#
#   quietly LOG WHO COMMAND...
#
# runs COMMAND with its output appended to LOG; when it fails, it says so
# in WHO's name, shows the end of LOG and ends the script.
quietly() {
  local log=$1 who=$2
  shift 2
  if ! "$@" >>"$log" 2>&1; then
    echo "$who: failed: $*" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}
