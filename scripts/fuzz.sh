#!/usr/bin/env bash
# Runs one libFuzzer target of the linux-asan build.
#
#   scripts/fuzz.sh TARGET [SECONDS] [libFuzzer options...]
#
# TARGET is profile, expand, shell_syntax or exports; SECONDS defaults to 600.
# The run starts from the seed corpus in fuzz/corpus/TARGET and from the
# inputs in fuzz/regressions/TARGET; the inputs it finds go to
# build/linux-asan/fuzz-work/TARGET, never into the repository, and an input
# that breaks the code is written to build/linux-asan/fuzz-artifacts/TARGET/.
# The exit status is libFuzzer's: 0 when nothing broke.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:?usage: scripts/fuzz.sh TARGET [SECONDS] [libFuzzer options...]}
seconds=${2:-600}
shift $(($# < 2 ? $# : 2))

build=build/linux-asan
binary=$build/quendrix_fuzz_$target
if [[ ! -x $binary ]]; then
  echo "fuzz: $binary is missing; build the linux-asan preset first" >&2
  exit 2
fi

# Rules files and paths need room; a command line never exceeds 4095.
case $target in
  shell_syntax) max_len=4096 ;;
  *) max_len=16384 ;;
esac

work=$build/fuzz-work/$target
artifacts=$build/fuzz-artifacts/$target
mkdir -p "$work" "$artifacts"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$@" "$work" "fuzz/corpus/$target" "fuzz/regressions/$target"
