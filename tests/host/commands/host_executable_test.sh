#!/usr/bin/env bash
# The quendrix executable as a separate process: exit codes, and messages
# on standard error with standard output left clean.
#   host_executable_test.sh QUENDRIX PLUGIN SOURCE_DIR
set -uo pipefail
quendrix=$1
plugin=$2
source_dir=$3
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

# check: 0 and one line for sound rules, 1 with a line per problem, 2 when
# there is no file to read. (The shipped recipes, whose programs must be
# installed to pass, are checked by the recipes test.)
expect 0 out "$dir/quendrix.ini: 1 section, 1 member, no problems" -- --plugin "$dir/quendrix.wcx" check
printf '[txt]\ncommand1=/usr/bin/sort -o fileOut filein\nfileout1=x\n' >"$dir/bad.ini"
expect 1 out "$dir/bad.ini:2: [txt] command1: fileOut is not the placeholder fileout" -- \
  --plugin "$dir/quendrix.wcx" check "$dir/bad.ini"
expect 2 err "cannot read the rules file $dir/none.ini: there is no such file" -- \
  --plugin "$dir/quendrix.wcx" check "$dir/none.ini"
cp "$dir/bad.ini" "$dir/quendrix.ini"
expect 1 out "$dir/quendrix.ini:2: [txt] command1: the command never names fileout" -- \
  --plugin "$dir/quendrix.wcx" explain "$dir/notes.txt"

# Ctrl+C, as the terminal sends it to the host: the member under way is
# stopped with the program it runs and its partial file, no further member
# starts, and the summary is printed.
mkdir -p "$dir/slow"
cp "$plugin" "$dir/slow/quendrix.wcx"
{
  printf '[src]\n'
  printf '%s\n' "command1=/bin/sh -c 'echo \$\$ >\"\$1.pid\"; echo part >\"\$1\"; exec sleep 60' sh fileout"
  printf 'fileout1=[N].1.out\ncommand2=/bin/cp filein fileout\nfileout2=[N].2.out\n'
} >"$dir/slow/quendrix.ini"
echo archive >"$dir/input.src"
"$quendrix" --plugin "$dir/slow/quendrix.wcx" extract "$dir/input.src" -C "$dir/cancel.d" \
  >"$dir/out" 2>"$dir/err" </dev/null &
host_pid=$!
for _ in $(seq 1 100); do [[ -s $dir/cancel.d/input.1.out ]] && break; sleep 0.1; done
kill -INT "$host_pid"
wait "$host_pid"
got=$?
converter=$(cat "$dir/cancel.d/input.1.out.pid" 2>/dev/null)
converter_lives() {
  [[ -n $converter ]] && kill -0 "$converter" 2>/dev/null &&
    [[ $(awk '{print $3}' "/proc/$converter/stat" 2>/dev/null) != Z ]]
}
if [[ $got != 130 ]] || [[ -e $dir/cancel.d/input.1.out ]] || [[ -e $dir/cancel.d/input.2.out ]] ||
   ! grep -qF "cancelled input.1.out" "$dir/out" || ! grep -qF "2 members:" "$dir/out" ||
   converter_lives; then
  echo "FAILED: Ctrl+C during a member -> exit $got (wanted 130, the member stopped, no other made)"
  echo "--- stdout"; cat "$dir/out"; echo "--- stderr"; cat "$dir/err"; ls -l "$dir/cancel.d"
  failures=$((failures + 1))
fi

exit $((failures > 0))
