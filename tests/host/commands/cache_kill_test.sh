#!/usr/bin/env bash
# The cache of made members when hosts are killed at every moment of a
# make: two hosts extract the same member at once, one is killed after a
# growing delay each round (while the member's program runs, while the
# other waits, while the entry is written), and after every round every
# entry in the cache holds the whole member and the next extraction gives
# the whole member.
#   cache_kill_test.sh QUENDRIX PLUGIN
set -uo pipefail
quendrix=$1 plugin=$2
dir=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

mkdir -p "$dir/plugin" "$dir/work" "$dir/cache"
cp "$plugin" "$dir/plugin/quendrix.wcx"
export XDG_CACHE_HOME=$dir/cache XDG_CONFIG_HOME=$dir/no-config
# The member: 200 numbered lines written over about a fifth of a second.
cat >"$dir/plugin/quendrix.ini" <<'RULES'
[src]
command1=/bin/sh -c 'i=0; while [ $i -lt 200 ]; do i=$((i+1)); printf "%05d a line of the member\n" $i; [ $((i % 20)) -eq 0 ] && sleep 0.02; done' > fileout
fileout1=member.txt
Cache=1
RULES
echo "the source" >"$dir/work/a.src"
expected=$(i=0; while [ $i -lt 200 ]; do i=$((i+1)); printf "%05d a line of the member\n" $i; done)

# A host extracting into OUT; exec, so that a job's process is the host
# itself and a kill of it kills the host.
extract() { # OUT
  exec "$quendrix" --plugin "$dir/plugin/quendrix.wcx" extract "$dir/work/a.src" -C "$1" \
    --overwrite >/dev/null 2>&1
}

for delay in 0 0.01 0.03 0.06 0.1 0.15 0.2 0.25 0.3; do
  rm -rf "$dir/cache/quendrix/members/"*.entry "$dir/out1" "$dir/out2" "$dir/out3"
  mkdir -p "$dir/out1" "$dir/out2" "$dir/out3"
  (extract "$dir/out1") &
  victim=$!
  (extract "$dir/out2") &
  other=$!
  sleep "$delay"
  kill -KILL "$victim" 2>/dev/null
  wait "$victim" 2>/dev/null
  kill -0 "$victim" 2>/dev/null && fail "delay $delay: the host was not killed"
  wait "$other" || fail "delay $delay: the host that was not killed failed"
  [[ $(cat "$dir/out2/member.txt" 2>/dev/null) == "$expected" ]] ||
    fail "delay $delay: the host that was not killed got a member that is not whole"
  # Whatever the killed host left, no entry is ever half.
  for entry in "$dir"/cache/quendrix/members/*.entry; do
    [[ -e $entry ]] || continue
    size=$(($(stat -c %s "$entry") - 88))  # the footer: mark, two digests, size
    [[ $(head -c "$size" "$entry") == "$expected" ]] || fail "delay $delay: $entry is not whole"
  done
  (extract "$dir/out3") || fail "delay $delay: the next extraction failed"
  [[ $(cat "$dir/out3/member.txt" 2>/dev/null) == "$expected" ]] ||
    fail "delay $delay: the next extraction gave a member that is not whole"
done

if ((failures)); then exit 1; fi
echo "passed: hosts killed at every moment of a make leave the cache whole"
