#!/usr/bin/env bash
# Sets up, builds the Linux plug-in and host, and lists the sample files of
# examples/ through them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target quendrix quendrix_plugin
# The plug-in reads its rules from the directory it was loaded from.
cp examples/quendrix.ini build/linux/quendrix.ini
for sample in examples/samples/*; do
  echo
  echo "\$ quendrix list $sample"
  build/linux/quendrix list "$sample" || true
done
