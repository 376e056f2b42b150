#!/usr/bin/env bash
# Members made onto a destination whose file system fills up: a program that
# ignores its failed writes and ends as if all went well, and a member
# copied out of the cache. Neither passes for made: each fails with "No
# space left on device" in its reason, and no cut file stays behind. The
# file system is a real tmpfs mount, so the test needs root.
#   full_destination_test.sh QUENDRIX PLUGIN
set -uo pipefail
quendrix=$1 plugin=$2
if [[ $(id -u) -ne 0 ]]; then
  echo "needs root to mount the small file system it fills"
  exit 77
fi
dir=$(mktemp -d)
full=$dir/full
trap 'umount "$full" 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

mkdir -p "$dir/plugin" "$dir/work" "$dir/roomy" "$full"
cp "$plugin" "$dir/plugin/quendrix.wcx"
export XDG_CACHE_HOME=$dir/cache XDG_CONFIG_HOME=$dir/no-config
# Each member is far more than the file system holds. The first program
# hides the error of its writes and ends with 0, as careless programs do.
cat >"$dir/plugin/quendrix.ini" <<'RULES'
[src]
command1=/bin/sh -c 'head -c 200000 /dev/zero 2>/dev/null; exit 0' > fileout
fileout1=careless.bin
[kept]
command1=head -c 200000 /dev/zero > fileout
fileout1=cached.bin
Cache=1
RULES
echo 'the source' >"$dir/work/a.src"
echo 'the source' >"$dir/work/a.kept"
mount -t tmpfs -o size=64k tmpfs "$full" || { echo "tmpfs not mounted"; exit 1; }

# expect_full FILE MEMBER: extracting FILE into the full file system fails
# with the system's words for it, and leaves no piece of MEMBER.
expect_full() {
  "$quendrix" --plugin "$dir/plugin/quendrix.wcx" extract "$dir/work/$1" -C "$full" \
    >"$dir/out" 2>&1
  local code=$?
  if [[ $code != 1 ]] || ! grep -q "^failed    $2: .*No space left on device" "$dir/out"; then
    fail "$1: exit $code, wanted 1 and a reason with 'No space left on device':"
    cat "$dir/out"
  fi
  [[ -e $full/$2 ]] && fail "$1: a cut $2 was left behind ($(stat -c %s "$full/$2") bytes)"
  rm -f "$full"/*
}

expect_full a.src careless.bin
# Made once where there is room, the member is kept; the next one is a copy.
"$quendrix" --plugin "$dir/plugin/quendrix.wcx" extract "$dir/work/a.kept" -C "$dir/roomy" \
  >"$dir/out" 2>&1 || fail "the member was not made where there is room: $(cat "$dir/out")"
expect_full a.kept cached.bin

exit $((failures > 0))
