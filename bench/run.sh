#!/usr/bin/env bash
# Builds the Linux benchmarks and runs them, writing their figures to
# bench/results/: rules.txt (the probe, the lookup and the listing, each
# promise a ratio of medians measured side by side in one run, and the
# resident memory of a listing, measured in a process of its own),
# profile_text.txt (the parse of large and hostile rules files) and, through
# bench/run_runner.sh, runner.txt. Repetitions run interleaved at random, so
# that the machine's changing load falls on every benchmark alike.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/linux}
repetitions=${REPETITIONS:-10}
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quendrix_bench -j2
mkdir -p bench/results

run() {
  "$build/quendrix_bench" \
    --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    "$@"
}

out=bench/results/rules.txt
{
  date -u +%Y-%m-%dT%H:%M:%SZ
  run --benchmark_filter='^BM_(Probe|RulesSnapshot|PlainReadOfTheRules|LookupRules|ListThroughPlugin)' || true
  # Alone in its process, and once: the growth of the resident set.
  "$build/quendrix_bench" --benchmark_filter='^BM_MemoryOfListing' || true
} | tee "$out"

run --benchmark_filter='^(Parse|ReadAllPairs)' --benchmark_repetitions=3 \
  | tee bench/results/profile_text.txt

BUILD_DIR="$build" bench/run_runner.sh
