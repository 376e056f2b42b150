#!/usr/bin/env bash
# Checks that a built Windows DLL exports exactly the functions named, under
# those plain names: a host looks up "OpenArchive", and a 32-bit build whose
# table said "_OpenArchive@4" or "OpenArchive@4" would not be a plug-in to
# it. Prints what differs.
# Usage: check_exports.sh DLL OBJDUMP NAME...
set -u
dll=$1 objdump=$2
shift 2

headers=$("$objdump" -p "$dll") || { echo "FAIL: objdump cannot read $dll"; exit 1; }
# Export names, from the [Ordinal/Name Pointer] Table.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on && NF==0{on=0}' <<<"$headers" | sort)
expected=$(printf '%s\n' "$@" | sort)
if [[ "$exports" != "$expected" ]]; then
  echo "FAIL: $(basename "$dll") does not export exactly these names: $*"
  diff <(echo "$expected") <(echo "$exports")
  exit 1
fi
echo "exports of $(basename "$dll"): exactly $#, under their plain names"
