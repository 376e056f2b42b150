#!/usr/bin/env bash
# The cost of one start of quendrix as mc's extfs helper, against one of mc's
# own helpers: `quendrix mc list` of a file with 10 members and `uzip list` of
# a zip file with 10 members, each a whole process as mc starts it. The bound:
# quendrix costs at most a tenth of uzip. Writes bench/results/mc.txt and
# exits with 1 when the bound is missed.
#
# hyperfine times both commands in each of ROUNDS rounds (default 5), RUNS
# runs each (default 100), the order of the two turned round every round so
# that the machine's changing load falls on both alike; the figure of each
# command is the median of its rounds' medians, in milliseconds of real time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/linux}
rounds=${ROUNDS:-5}
runs=${RUNS:-100}
uzip=/usr/lib/mc/extfs.d/uzip
for program in hyperfine zip "$uzip"; do
  command -v "$program" >/dev/null ||
    { echo "run_mc: $program is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quendrix quendrix_plugin -j2 >/dev/null

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$build/quendrix" "$build/quendrix.wcx" "$dir/"
{
  echo "[dat]"
  for n in $(seq 10); do
    echo "command$n=/bin/sh -c 'head -c ${n}00 -- \"\$1\" > \"\$2\"' sh filein fileout"
    echo "fileout$n=[N].part$n.txt"
  done
} >"$dir/quendrix.ini"
head -c 4096 /dev/urandom | base64 >"$dir/ten.dat"
mkdir "$dir/zip"
for n in $(seq 10); do head -c "${n}00" "$dir/ten.dat" >"$dir/zip/part$n.txt"; done
(cd "$dir/zip" && zip -q -X ../ten.zip part*.txt)

quendrix_list=("$dir/quendrix" mc list "$dir/ten.dat")
uzip_list=("$uzip" list "$dir/ten.zip")
for lister in quendrix_list uzip_list; do
  declare -n command=$lister
  members=$("${command[@]}" | wc -l)
  [[ $members == 10 ]] ||
    { echo "run_mc: ${command[*]} listed $members members, not 10" >&2; exit 2; }
done

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

quendrix_medians=()
uzip_medians=()
report=$dir/report.txt
for round in $(seq "$rounds"); do
  first="${quendrix_list[*]}"
  second="${uzip_list[*]}"
  if ((round % 2 == 0)); then first="${uzip_list[*]}"; second="${quendrix_list[*]}"; fi
  hyperfine -N --warmup 10 --runs "$runs" --export-csv "$dir/round.csv" \
    "$first" "$second" >/dev/null 2>&1
  # command,mean,stddev,median,user,system,min,max in seconds; the mean
  # processor time (user + system) is shown too, as the load of other
  # programs inflates it less than the real time.
  field() { awk -F, -v c="$1" -v f="$2" '$1 == c { print (f == "cpu" ? $5 + $6 : $f) * 1000 }' "$dir/round.csv"; }
  q=$(field "${quendrix_list[*]}" 4)
  u=$(field "${uzip_list[*]}" 4)
  quendrix_medians+=("$q")
  uzip_medians+=("$u")
  printf 'round %d: quendrix mc list %.2f ms, uzip list %.2f ms, ratio %.3f (processor time %.2f ms vs %.2f ms)\n' \
    "$round" "$q" "$u" "$(awk -v q="$q" -v u="$u" 'BEGIN { print q / u }')" \
    "$(field "${quendrix_list[*]}" cpu)" "$(field "${uzip_list[*]}" cpu)" >>"$report"
done
q=$(printf '%s\n' "${quendrix_medians[@]}" | median)
u=$(printf '%s\n' "${uzip_medians[@]}" | median)
ratio=$(awk -v q="$q" -v u="$u" 'BEGIN { printf "%.3f", q / u }')
verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 0.1) ? "met" : "MISSED" }')

mkdir -p bench/results
{
  date -u +%Y-%m-%dT%H:%M:%SZ
  echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "quendrix mc list of a file with 10 members vs mc's uzip list of a zip with 10 members"
  echo "hyperfine, $rounds rounds of $runs runs each, whole processes, real time"
  cat "$report"
  printf 'median of the rounds: quendrix mc list %.2f ms, uzip list %.2f ms\n' "$q" "$u"
  echo "ratio $ratio (bound: at most 0.1): $verdict"
} | tee bench/results/mc.txt
[[ $verdict == met ]]
