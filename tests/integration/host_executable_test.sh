#!/usr/bin/env bash
# The quendrix executable as a separate process: exit codes, and messages
# on standard error with standard output left clean.
#   host_executable_test.sh QUENDRIX PLUGIN
set -uo pipefail
quendrix=$1
plugin=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$plugin" "$dir/quendrix.wcx"
printf '[txt]\ncommand1=/usr/bin/sort -o fileout filein\nfileout1=[N].sorted\n' >"$dir/quendrix.ini"
printf 'b\na\n' >"$dir/notes.txt"
: >"$dir/notes.pdf"
failures=0

# expect CODE STREAM TEXT -- ARGS: runs quendrix with ARGS, checks the exit
# code and that TEXT appears on STREAM (out or err) and nothing on the other
# stream, except for "any".
expect() {
  local code=$1 stream=$2 text=$3
  shift 4
  "$quendrix" "$@" >"$dir/out" 2>"$dir/err" </dev/null
  local got=$?
  local wanted_in=$dir/$stream other=$dir/err
  [[ $stream == err ]] && other=$dir/out
  if [[ $got != "$code" ]] || ! grep -qF -- "$text" "$wanted_in" ||
     { [[ -s $other ]] && [[ $stream != any ]]; }; then
    echo "FAILED: quendrix $* -> exit $got (wanted $code, '$text' on std$stream)"
    echo "--- stdout"; cat "$dir/out"; echo "--- stderr"; cat "$dir/err"
    failures=$((failures + 1))
  fi
}

expect 0 out "quendrix 0.0.0.6" -- --version
expect 2 err "subcommand" --
expect 2 err "cannot load the plug-in" -- --plugin "$dir/missing.wcx" list "$dir/notes.txt"
expect 2 err "does not support" -- --plugin "$dir/quendrix.wcx" list "$dir/notes.pdf"
expect 0 out "notes.sorted" -- --plugin "$dir/quendrix.wcx" list "$dir/notes.txt"
expect 0 out "made      notes.sorted" -- --plugin "$dir/quendrix.wcx" extract "$dir/notes.txt" -C "$dir/out.d"
if [[ $(cat "$dir/out.d/notes.sorted" 2>/dev/null) != $'a\nb' ]]; then
  echo "FAILED: notes.sorted does not hold the sorted lines"
  failures=$((failures + 1))
fi
expect 0 out " ./notes.sorted" -- --plugin "$dir/quendrix.wcx" mc list "$dir/notes.txt"
# mc reads nothing from copyout but its exit code; it stays silent.
"$quendrix" --plugin "$dir/quendrix.wcx" mc copyout "$dir/notes.txt" \
  notes.sorted "$dir/mc copy" >"$dir/out" 2>"$dir/err" </dev/null
if [[ $? != 0 || -s $dir/out || -s $dir/err ||
      $(cat "$dir/mc copy" 2>/dev/null) != $'a\nb' ]]; then
  echo "FAILED: mc copyout did not make notes.sorted silently"
  failures=$((failures + 1))
fi
expect 2 err "is read-only" -- --plugin "$dir/quendrix.wcx" mc rm "$dir/notes.txt" notes.sorted
expect 1 out "kept      notes.sorted" -- --plugin "$dir/quendrix.wcx" extract "$dir/notes.txt" -C "$dir/out.d"

exit $((failures > 0))
