#!/usr/bin/env bash
# Sets up, builds the linux, win64, win32 and linux-asan presets, and runs
# every test: Linux natively, Win64 under wine64, Win32 by checks of the
# DLL, and the Linux tests once more under the address and undefined-behaviour
# sanitizers; then each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine.sh

scripts/setup.sh
trap wine_stop EXIT

status=0
for preset in linux win64 win32 linux-asan linux-tsan; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in linux win64 win32 linux-asan linux-tsan; do
  echo "=== $preset: test"
  [[ $preset == win64 ]] && wine_start
  ctest --preset "$preset" || status=1
  [[ $preset == win64 ]] && wine_stop
done
for target in profile expand shell_syntax exports; do
  echo "=== fuzz $target: 12 seconds"
  scripts/fuzz.sh "$target" 12 >"build/linux-asan/fuzz-$target.log" 2>&1 ||
    { tail -n 40 "build/linux-asan/fuzz-$target.log"; status=1; }
done
exit $status
