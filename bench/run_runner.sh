#!/usr/bin/env bash
# Builds the Linux benchmarks and runs the runner benchmark, writing its
# figures to bench/results/runner.txt. Each host size runs in a process of
# its own, with the repetitions of the three ways to start a program
# interleaved at random, so that the machine's changing load falls on all
# three alike; compare the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/linux}
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quendrix_bench -j2
mkdir -p bench/results
out=bench/results/runner.txt
: >"$out"
for gib in 0 2; do
  part=$(mktemp)
  "$build/quendrix_bench" \
    --benchmark_filter="^BM_(RunCommand|BarePosixSpawn|ForkExec)/$gib/" \
    --benchmark_repetitions="${REPETITIONS:-10}" \
    --benchmark_min_time="${MIN_TIME:-1}" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$part" \
    --benchmark_out_format=console \
    "$@" >/dev/null
  cat "$part" >>"$out"
  rm -f "$part"
done
# The command syntax: a redirected member next to a bare spawn into the same
# file, and 1 GiB through a pipeline of three next to /bin/sh's.
part=$(mktemp)
"$build/quendrix_bench" \
  --benchmark_filter='^BM_(ExtractRedirected|BareSpawnRedirected|Pipeline1GiB|ShellPipeline1GiB)' \
  --benchmark_repetitions="${REPETITIONS:-10}" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true \
  --benchmark_out="$part" \
  --benchmark_out_format=console \
  "$@" >/dev/null
cat "$part" >>"$out"
rm -f "$part"
cat "$out"
