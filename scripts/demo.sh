#!/usr/bin/env bash
# Sets up, builds the Linux plug-in and host, installs them with the sample
# rules into build/demo/quendrix/ as a user installs the release folder, and
# runs `quendrix list` and `quendrix extract` on the samples of examples/,
# and `quendrix mc list`, the listing Midnight Commander reads, on one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target quendrix quendrix_plugin

demo=build/demo
rm -rf "$demo"
cmake --install build/linux --prefix "$demo/quendrix" >/dev/null
examples/make-samples.sh "$demo/samples"

run() {
  echo
  echo "\$ quendrix $*"
  "$quendrix" "$@" || echo "(exit code $?)"
}

cd "$demo"
quendrix=$PWD/quendrix/quendrix
run explain samples/fruit.txt
for sample in samples/fruit.txt samples/poem.txt.gz samples/samples.tar; do
  run list "$sample"
  run extract "$sample" -C members
done
# Midnight Commander runs its extfs helper uquendrix, which runs this.
run mc list samples/fruit.txt
echo
echo "The members made, in $PWD/members:"
for member in members/*; do
  echo
  echo "--- $member"
  cat "$member"
done
