#!/usr/bin/env bash
# The cache of made members on file systems that will not take an entry: a
# cache folder on a file system that fills up while the entry is written,
# and one on a read-only file system. Either way the member reaches its
# destination whole, nothing is kept, nothing half-written stays behind,
# the log says why, and once the file system has room the member is kept.
# The file systems are real tmpfs mounts, so the test needs root.
#   cache_file_systems_test.sh QUENDRIX PLUGIN
set -uo pipefail
quendrix=$1 plugin=$2
if [[ $(id -u) -ne 0 ]]; then
  echo "needs root to mount the small file systems it fills"
  exit 77
fi
dir=$(mktemp -d)
cache=$dir/cache
trap 'umount "$cache" 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

mkdir -p "$dir/plugin" "$dir/work" "$cache"
cp "$plugin" "$dir/plugin/quendrix.wcx"
export XDG_CACHE_HOME=$cache XDG_CONFIG_HOME=$dir/no-config
# The member is 1 MiB, far more than the small file system holds.
cat >"$dir/plugin/quendrix.ini" <<'RULES'
[src]
command1=head -c 1048576 /dev/zero > fileout
fileout1=member.txt
Cache=1
log=1
RULES
echo 'the source' >"$dir/work/a.src"
expected_size=1048576

# Extracts the member into a fresh folder; checks that it arrived whole.
extract_whole() { # CASE
  rm -rf "$dir/out" && mkdir "$dir/out"
  "$quendrix" --plugin "$dir/plugin/quendrix.wcx" extract "$dir/work/a.src" -C "$dir/out" \
    >"$dir/extract.out" 2>&1 || fail "$1: the extraction failed: $(cat "$dir/extract.out")"
  [[ $(stat -c %s "$dir/out/member.txt" 2>/dev/null) == "$expected_size" ]] ||
    fail "$1: the member did not arrive whole"
}
entries() { find "$cache/quendrix/members" -maxdepth 1 -type f ! -name 'lock-*' 2>/dev/null | wc -l; }

for case in full read-only; do
  : >"$dir/plugin/quendrix.log"
  if [[ $case == full ]]; then
    mount -t tmpfs -o size=64k tmpfs "$cache" || { fail "$case: tmpfs not mounted"; continue; }
  else
    mount -t tmpfs -o size=64k tmpfs "$cache" && mkdir -p "$cache/quendrix/members" &&
      chmod -R 700 "$cache/quendrix" && mount -o remount,ro "$cache" ||
      { fail "$case: tmpfs not mounted"; continue; }
  fi
  extract_whole "$case"
  extract_whole "$case, again"
  # Nothing of the member stays in the cache: no entry, no piece of one.
  [[ $(entries) -eq 0 ]] || fail "$case: files were left in the cache: $(ls "$cache/quendrix/members")"
  reason="is the disk full?"
  [[ $case == read-only ]] && reason="it cannot be written: Read-only file system"
  grep -q "cache: .*$reason" "$dir/plugin/quendrix.log" ||
    fail "$case: the log does not say \"$reason\": $(cat "$dir/plugin/quendrix.log")"
  umount "$cache"
done

# With room again, the member is kept once and then copied.
extract_whole "room"
extract_whole "room, again"
[[ $(find "$cache/quendrix/members" -name '*.entry' | wc -l) -eq 1 ]] ||
  fail "room: the member was not kept"

if ((failures)); then exit 1; fi
echo "passed: a full or read-only cache leaves members delivered whole, and nothing behind"
