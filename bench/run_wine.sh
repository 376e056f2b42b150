#!/usr/bin/env bash
# Builds the 64-bit Windows plug-in and the timed comparison program and runs
# it under wine64, writing its figures to bench/results/wine64.txt: the probe
# against a plain read of the rules file, and listings of 1,000, 10,000 and
# 32,767 members, measured side by side in alternating batches.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/win64}
cmake --preset win64 -B "$build" >/dev/null
cmake --build "$build" --target quendrix_bench_timed -j2
source scripts/wine.sh
mkdir -p bench/results
wine_start
trap wine_stop EXIT
{
  date -u +%Y-%m-%dT%H:%M:%SZ
  "$QUENDRIX_WINE64" "$build/quendrix_bench_timed.exe" "${REPETITIONS:-11}" </dev/null || true
} | tee bench/results/wine64.txt
