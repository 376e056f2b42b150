#!/usr/bin/env bash
# Sets up, builds the linux, win64, win32, linux-asan and linux-tsan presets,
# and runs every test: Linux natively, Win64 under wine64, Win32 under 32-bit
# Wine (skipped, and said so, on a kernel that cannot run 32-bit programs),
# both DLLs also checked as files, the Linux tests once more under the
# address and undefined-behaviour sanitizers, and the session tests under
# the thread sanitizer; then the packages, made from those build trees (the
# Windows zip's contents checked, and, only when CI is set, the Debian
# package installed and removed); then each fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine.sh

scripts/setup.sh
trap 'wine_stop build/win64; wine_stop build/win32' EXIT

status=0
for preset in linux win64 win32 linux-asan linux-tsan; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in linux win64 win32 linux-asan linux-tsan; do
  echo "=== $preset: test"
  wine_tree=""
  if [[ $preset == win* ]]; then
    loader=$(wine_loader_of "$preset")
    if kernel_runs "$loader"; then
      wine_tree=build/$preset
      wine_start "$wine_tree" "$loader"
    else
      echo "$preset: this machine's kernel cannot run 32-bit programs; its Wine tests are reported as skipped"
    fi
  fi
  ctest --preset "$preset" || status=1
  [[ -n $wine_tree ]] && wine_stop "$wine_tree"
done
echo "=== packages"
scripts/package.sh >build/package.log 2>&1 || { tail -n 40 build/package.log; status=1; }
tests/package/zip_test.sh build/package/quendrix-*-windows.zip || status=1
if [[ -n ${CI:-} ]]; then
  tests/package/deb_test.sh build/package/quendrix_*_amd64.deb || status=1
else
  echo "deb_test: not run, as it installs and removes a Debian package (it runs when CI is set)"
fi
for target in profile expand shell_syntax exports; do
  echo "=== fuzz $target: 12 seconds"
  scripts/fuzz.sh "$target" 12 >"build/linux-asan/fuzz-$target.log" 2>&1 ||
    { tail -n 40 "build/linux-asan/fuzz-$target.log"; status=1; }
done
exit $status
