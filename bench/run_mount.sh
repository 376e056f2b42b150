#!/usr/bin/env bash
# The bounds of `quendrix mount`, each timed as a user meets it:
#   - mounting (the command returns once the file system is mounted): under
#     100 ms, the median of RUNS mounts (default 20);
#   - `ls -l` of a member folder of 10,000 members: under 1 s, the first
#     listing after the mount and the median of repeated ones (hyperfine);
#   - reading a made member of 100 MB: at least half the speed of reading
#     its file in the mount's cache, both read by `cat`, in ROUNDS rounds
#     (default 5) that alternate which goes first; the figure is the median
#     of the rounds' medians. The first open, which makes the member and
#     reads it, is shown too, with the make on its own.
# Writes bench/results/mount.txt and exits with 1 when a bound is missed.
# Needs /dev/fuse.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/linux}
runs=${RUNS:-20}
rounds=${ROUNDS:-5}
[[ -e /dev/fuse ]] || { echo "run_mount: /dev/fuse is missing" >&2; exit 2; }
command -v hyperfine >/dev/null ||
  { echo "run_mount: hyperfine is missing (scripts/setup.sh installs it)" >&2; exit 2; }
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quendrix quendrix_plugin -j2 >/dev/null

dir=$(mktemp -d)
mnt=$dir/mnt
cleanup() {
  if grep -q " $mnt fuse.quendrix " /proc/self/mounts; then "$dir/quendrix" unmount "$mnt" || umount -l "$mnt"; fi
  rm -rf "$dir"
}
trap cleanup EXIT
mkdir "$mnt" "$dir/runtime"
chmod 700 "$dir/runtime"
export XDG_RUNTIME_DIR=$dir/runtime XDG_STATE_HOME=$dir/state
cp "$build/quendrix" "$build/quendrix.wcx" "$dir/"
quendrix=$dir/quendrix
{
  echo "[many]"
  for n in $(seq 10000); do
    echo "command$n=/bin/cp filein fileout"
    echo "fileout$n=[N].part$n.txt"
  done
  echo "[big]"
  echo "command1=/bin/cp filein fileout"
  echo "fileout1=[N].copy"
} >"$dir/quendrix.ini"
echo "many" >"$dir/ten-thousand.many"
head -c $((100 * 1024 * 1024)) /dev/urandom >"$dir/hundred.big"

now() { date +%s%N; }
ms() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
unmount() {
  "$quendrix" unmount "$mnt"
  # The serving process ends a moment after the unmount.
  for _ in $(seq 200); do [[ -z $(ls -A "$XDG_RUNTIME_DIR") ]] && return; sleep 0.01; done
}

report=$dir/report.txt
mount_times=()
for _ in $(seq "$runs"); do
  start=$(now)
  "$quendrix" mount "$dir/ten-thousand.many" "$mnt" >/dev/null
  mount_times+=("$(ms $(($(now) - start)))")
  unmount
done
mount_ms=$(printf '%s\n' "${mount_times[@]}" | median)
echo "mount: median of $runs mounts of the 10,000-member file: $mount_ms ms (all: ${mount_times[*]})" >>"$report"

"$quendrix" mount "$dir/ten-thousand.many" "$mnt"
start=$(now)
listed=$(ls -l "$mnt" | tail -n +2 | wc -l)
first_ls_ms=$(ms $(($(now) - start)))
[[ $listed == 10000 ]] || { echo "run_mount: ls -l listed $listed members, not 10000" >&2; exit 2; }
hyperfine -N --warmup 2 --runs 20 --output null --export-csv "$dir/ls.csv" "ls -l $mnt" >/dev/null 2>&1
ls_ms=$(awk -F, 'NR == 2 { printf "%.1f", $4 * 1000 }' "$dir/ls.csv")
echo "ls -l of 10,000 members: first after the mount $first_ls_ms ms, median of 20 more $ls_ms ms" >>"$report"
unmount

"$quendrix" mount "$dir/hundred.big" "$mnt"
start=$(now)
cat "$mnt/hundred.copy" >/dev/null
make_ms=$(ms $(($(now) - start)))
cache=$(ls "$XDG_RUNTIME_DIR"/quendrix-mount-*/*/hundred.copy)
[[ $(stat -c %s "$cache") == $((100 * 1024 * 1024)) ]] || { echo "run_mount: the made member is not 100 MiB" >&2; exit 2; }
echo "the first open of the 100 MiB member, which makes it (cp) and reads it: $make_ms ms" >>"$report"
mount_medians=()
cache_medians=()
for round in $(seq "$rounds"); do
  first="cat $mnt/hundred.copy"
  second="cat $cache"
  if ((round % 2 == 0)); then first="cat $cache"; second="cat $mnt/hundred.copy"; fi
  hyperfine -N --warmup 2 --runs 10 --output null --export-csv "$dir/read.csv" "$first" "$second" >/dev/null 2>&1
  field() { awk -F, -v c="$1" '$1 == c { print $4 * 1000 }' "$dir/read.csv"; }
  m=$(field "cat $mnt/hundred.copy")
  c=$(field "cat $cache")
  mount_medians+=("$m")
  cache_medians+=("$c")
  printf 'round %d: through the mount %.1f ms, the cache file %.1f ms\n' "$round" "$m" "$c" >>"$report"
done
unmount
m=$(printf '%s\n' "${mount_medians[@]}" | median)
c=$(printf '%s\n' "${cache_medians[@]}" | median)
speed=$(awk -v m="$m" -v c="$c" 'BEGIN { printf "%.2f", c / m }')
echo "reading the made 100 MiB member: through the mount $m ms, the cache file $c ms: speed ratio $speed" >>"$report"

# What the first open above spent beyond the make itself: the make is a
# cp of the 100 MiB, timed here on its own.
start=$(now)
cp "$dir/hundred.big" "$dir/copy.big"
cp_ms=$(ms $(($(now) - start)))
rm -f "$dir/copy.big"
echo "the make on its own (cp of the 100 MiB file): $cp_ms ms" >>"$report"

verdict() { awk -v v="$1" -v b="$2" -v d="$3" 'BEGIN { print ((d == "<" && v < b) || (d == ">=" && v >= b)) ? "met" : "MISSED" }'; }
v_mount=$(verdict "$mount_ms" 100 "<")
v_ls=$(verdict "$(awk -v a="$first_ls_ms" -v b="$ls_ms" 'BEGIN { print (a > b) ? a : b }')" 1000 "<")
v_read=$(verdict "$speed" 0.5 ">=")
mkdir -p bench/results
{
  date -u +%Y-%m-%dT%H:%M:%SZ
  echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), kernel $(uname -r)"
  cat "$report"
  echo "mount under 100 ms: $v_mount; ls -l of 10,000 members under 1 s: $v_ls; read at least half the cache file's speed: $v_read"
} | tee bench/results/mount.txt
[[ $v_mount == met && $v_ls == met && $v_read == met ]]
