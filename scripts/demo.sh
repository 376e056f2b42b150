#!/usr/bin/env bash
# Sets up, builds the Linux plug-in and host, installs them with the sample
# rules into build/demo/quendrix/ as a user installs the release folder, and
# runs `quendrix list` and `quendrix extract` on the samples of examples/,
# `quendrix mc list`, the listing Midnight Commander reads, on one, and
# `cat` of a member through `quendrix mount` (where /dev/fuse is).
#
# It installs only what the Linux build needs (not the Windows tool chains
# or Wine, which the test command installs) and says in one line what each
# step does; the tools' own output goes to build/demo.log, which is shown
# only when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/quietly.sh
scripts/setup.sh --demo

demo=build/demo
log=build/demo.log
: >"$log"
step() { # TEXT COMMAND...
  echo "demo: $1"
  shift
  quietly "$log" demo "$@"
}
step "configuring the Linux build (build/linux)" cmake --preset linux
step "building the plug-in and the host" \
  cmake --build --preset linux --target quendrix quendrix_plugin
rm -rf "$demo"
step "installing them with the sample rules into $demo/quendrix" \
  cmake --install build/linux --prefix "$demo/quendrix"
step "making the sample files in $demo/samples" examples/make-samples.sh "$demo/samples"

run() {
  echo
  echo "\$ quendrix $*"
  "$quendrix" "$@" || echo "(exit code $?)"
}

cd "$demo"
quendrix=$PWD/quendrix/quendrix
run explain samples/fruit.txt
# Each sample's members go into a folder of their own: the tar's entries
# (fruit.txt, poem.txt) would meet the gzip file's poem.txt.
for sample in samples/fruit.txt samples/poem.txt.gz samples/samples.tar; do
  run list "$sample"
  run extract "$sample" -C "members/${sample##*/}"
done
# Midnight Commander runs its extfs helper uquendrix, which runs this.
run mc list samples/fruit.txt
echo
echo "The members made, in $PWD/members:"
for member in members/*/*; do
  echo
  echo "--- $member"
  cat "$member"
done

# Every program reads the members through a mount (Linux, FUSE).
echo
if [[ -e /dev/fuse ]] && command -v fusermount3 >/dev/null; then
  mkdir -p mnt
  trap '"$quendrix" unmount mnt 2>/dev/null || true' EXIT
  run mount samples/fruit.txt mnt
  echo
  echo "\$ ls -l mnt"
  ls -l mnt
  echo
  echo "\$ cat mnt/fruit.sorted.txt"
  cat mnt/fruit.sorted.txt
  run unmount mnt
  trap - EXIT
else
  echo "(no /dev/fuse here: quendrix mount is not shown)"
fi
