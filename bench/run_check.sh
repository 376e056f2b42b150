#!/usr/bin/env bash
# How long `quendrix check` takes for a rules file of 2,000 sections, as a
# user runs it: the whole process, from its start to its verdict. The bound:
# under 200 ms. Writes bench/results/check.txt and exits with 1 when the
# bound is missed.
#
# Two files, 6,000 members each: one as rules are written (sort, tr, gzip
# and sh, by full path and by bare name, in pipelines, and synonyms), which
# passes clean; and one in which every section names a program of its own
# that is nowhere, so that each is looked for in the plug-in's folder and
# in every folder of PATH, the most a check can ask of the system. hyperfine
# runs each RUNS times (default 30); the figure is the median, in
# milliseconds of real time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/linux}
runs=${RUNS:-30}
bound_ms=200
command -v hyperfine >/dev/null ||
  { echo "run_check: hyperfine is missing (scripts/setup.sh installs it)" >&2; exit 2; }
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quendrix quendrix_plugin -j2 >/dev/null

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$build/quendrix" "$build/quendrix.wcx" "$dir/"
for n in $(seq 2000); do
  if ((n % 10 == 0)); then
    printf '[s%d]\nsynonym=s%d\n' "$n" $((n - 1))
    continue
  fi
  printf '[s%d]\n' "$n"
  printf 'command1=/usr/bin/sort -o fileout filein\nfileout1=[N].sorted\n'
  printf 'command2=gzip -dc filein | tr a-z A-Z > fileout\nfileout2=[N].%d.upper\n' "$n"
  printf '%s\n' "command3=/bin/sh -c 'sha256sum -- \"\$1\" > \"\$2\"' sh filein fileout"
  printf 'fileout3=[N].[E].sha256\n'
done >"$dir/typical.ini"
for n in $(seq 2000); do
  printf '[s%d]\n' "$n"
  for m in 1 2 3; do
    printf 'command%d=tool%d-%d filein fileout\nfileout%d=[N].%d\n' "$m" "$n" "$m" "$m" "$m"
  done
done >"$dir/missing.ini"

"$dir/quendrix" check "$dir/typical.ini" | tail -1 | grep -q ': 2000 sections, 5400 members, no problems$' ||
  { echo "run_check: the typical file does not pass clean" >&2; "$dir/quendrix" check "$dir/typical.ini" | head >&2; exit 2; }
problems=$("$dir/quendrix" check "$dir/missing.ini" | tail -1) || true
[[ $problems == *": 2000 sections, 6000 members, 6000 problems" ]] ||
  { echo "run_check: the file of missing programs gave: $problems" >&2; exit 2; }

# The exit code of a check with problems is 1: hyperfine is told to take it.
hyperfine -N -i --warmup 3 --runs "$runs" --export-csv "$dir/times.csv" \
  "$dir/quendrix check $dir/typical.ini" "$dir/quendrix check $dir/missing.ini" >/dev/null 2>&1
# command,mean,stddev,median,user,system,min,max in seconds.
field() { awk -F, -v c="$1" -v f="$2" '$1 == c { print (f == "cpu" ? $5 + $6 : $f) * 1000 }' "$dir/times.csv"; }
typical=$(field "$dir/quendrix check $dir/typical.ini" 4)
missing=$(field "$dir/quendrix check $dir/missing.ini" 4)
verdict=$(awk -v a="$typical" -v b="$missing" -v l="$bound_ms" 'BEGIN { print (a < l && b < l) ? "met" : "MISSED" }')

mkdir -p bench/results
{
  date -u +%Y-%m-%dT%H:%M:%SZ
  echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), PATH of $(tr ':' '\n' <<<"$PATH" | wc -l) folders"
  echo "quendrix check of a rules file of 2,000 sections, whole processes, hyperfine, $runs runs, real time"
  printf 'typical rules, clean:               median %.1f ms (processor time %.1f ms)\n' \
    "$typical" "$(field "$dir/quendrix check $dir/typical.ini" cpu)"
  printf 'a missing program in every member:  median %.1f ms (processor time %.1f ms)\n' \
    "$missing" "$(field "$dir/quendrix check $dir/missing.ini" cpu)"
  echo "bound: under $bound_ms ms each: $verdict"
} | tee bench/results/check.txt
[[ $verdict == met ]]
