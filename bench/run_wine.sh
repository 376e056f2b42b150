#!/usr/bin/env bash
# Builds a Windows plug-in and the timed comparison program and runs it
# under Wine, writing its figures to bench/results/wine64.txt or wine32.txt:
# the probe against a plain read of the rules file, and listings of 1,000,
# 10,000 and 32,767 members, measured side by side in alternating batches.
#
#   bench/run_wine.sh [win64|win32]      (default: win64)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-win64}
case $preset in
  win64) results=bench/results/wine64.txt ;;
  win32) results=bench/results/wine32.txt ;;
  *) echo "usage: bench/run_wine.sh [win64|win32]" >&2; exit 2 ;;
esac
build=${BUILD_DIR:-build/$preset}
cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" --target quendrix_bench_timed -j2
source scripts/wine.sh
mkdir -p bench/results
loader=$(wine_loader_of "$preset")
if ! kernel_runs "$loader"; then
  {
    date -u +%Y-%m-%dT%H:%M:%SZ
    echo "not measured: this machine's kernel cannot run 32-bit programs ($loader)"
  } >"$results"
  cat "$results"
  exit 0
fi
wine_start "$build" "$loader"
trap 'wine_stop "$build"' EXIT
# The program's output goes to a file, never into a pipe: Wine's background
# services could hold a pipe open after the program has ended.
date -u +%Y-%m-%dT%H:%M:%SZ >"$results"
WINEPREFIX=$(wine_prefix_of "$build") "$loader" \
  "$build/quendrix_bench_timed.exe" "${REPETITIONS:-11}" </dev/null >>"$results" 2>&1 || true
cat "$results"
