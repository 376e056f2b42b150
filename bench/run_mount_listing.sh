#!/usr/bin/env bash
# The bounds of a folder mount whose files a list program lists, timed as a
# user meets them: a folder of ZIPS zip files (default 100) of 1,000
# entries each (10 folders of 100 files), served by the section
#   [zip]
#   list=unzip -Z1 filein
#   extract=unzip -p filein [M] > fileout
# with `unzip` a wrapper on PATH that counts the runs of `unzip -Z1`.
#   - `find` twice runs each list program once: after two `find`s of the
#     whole mount, exactly ZIPS list runs;
#   - `ls -R` of the whole mount, after the first listing of each file:
#     under 2 s, the median of RUNS runs (default 10, hyperfine).
# The first `find`, which lists every file, and one member read through the
# mount are shown too. Writes bench/results/mount_listing.txt and exits with
# 1 when a bound is missed; KEEP=1 keeps the work folder (its list-runs
# names the file of each list run). Needs /dev/fuse, zip and unzip.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/linux}
zips=${ZIPS:-100}
runs=${RUNS:-10}
[[ -e /dev/fuse ]] || { echo "run_mount_listing: /dev/fuse is missing" >&2; exit 2; }
for tool in hyperfine zip unzip; do
  command -v "$tool" >/dev/null ||
    { echo "run_mount_listing: $tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done
cmake --preset linux -B "$build" >/dev/null
cmake --build "$build" --target quendrix quendrix_plugin -j2 >/dev/null

dir=$(mktemp -d)
mnt=$dir/mnt
cleanup() {
  if grep -q " $mnt fuse.quendrix " /proc/self/mounts; then "$dir/quendrix" unmount "$mnt" || umount -l "$mnt"; fi
  [[ -n ${KEEP:-} ]] && { echo "kept $dir"; return; }
  rm -rf "$dir"
}
trap cleanup EXIT
mkdir "$mnt" "$dir/runtime" "$dir/bin" "$dir/zips" "$dir/entries"
chmod 700 "$dir/runtime"
export XDG_RUNTIME_DIR=$dir/runtime XDG_STATE_HOME=$dir/state
cp "$build/quendrix" "$build/quendrix.wcx" "$dir/"
quendrix=$dir/quendrix
real_unzip=$(command -v unzip)
count=$dir/list-runs
: >"$count"
cat >"$dir/bin/unzip" <<EOF
#!/bin/sh
[ "\$1" = -Z1 ] && echo "\$2" >>"$count"
exec "$real_unzip" "\$@"
EOF
chmod +x "$dir/bin/unzip"
# The mount's serving process, and the plug-in in it, find the wrapper first.
export PATH=$dir/bin:$PATH
printf '[zip]\nlist=unzip -Z1 filein\nextract=unzip -p filein [M] > fileout\n' >"$dir/quendrix.ini"

for d in $(seq 0 9); do
  mkdir "$dir/entries/d$d"
  for f in $(seq -w 0 99); do echo "entry $d/$f" >"$dir/entries/d$d/f$f.txt"; done
done
(cd "$dir/entries" && zip -q -r -D "$dir/one.zip" .)
for n in $(seq -w 1 "$zips"); do cp "$dir/one.zip" "$dir/zips/z$n.zip"; done
entries=$("$real_unzip" -Z1 "$dir/one.zip" | wc -l)
[[ $entries == 1000 ]] || { echo "run_mount_listing: the zip holds $entries entries, not 1000" >&2; exit 2; }

now() { date +%s%N; }
ms() { awk -v n="$1" 'BEGIN { printf "%.1f", n / 1e6 }'; }
report=$dir/report.txt

"$quendrix" mount "$dir/zips" "$mnt" >/dev/null
start=$(now)
found=$(find "$mnt" | wc -l)
first_find_ms=$(ms $(($(now) - start)))
start=$(now)
find "$mnt" >/dev/null
second_find_ms=$(ms $(($(now) - start)))
list_runs=$(wc -l <"$count")
# The mount point, each zip and its NAME# folder, and in each the 10
# folders and 1,000 members.
expected=$((1 + zips * (2 + 10 + 1000)))
[[ $found == "$expected" ]] || { echo "run_mount_listing: find found $found entries, not $expected" >&2; exit 2; }
echo "find of $zips zips of 1,000 entries ($found entries): the first, which lists each zip, $first_find_ms ms; the second $second_find_ms ms; list programs run: $list_runs" >>"$report"

hyperfine -N --warmup 1 --runs "$runs" --output null --export-csv "$dir/ls.csv" "ls -R $mnt" >/dev/null 2>&1
ls_ms=$(awk -F, 'NR == 2 { printf "%.1f", $4 * 1000 }' "$dir/ls.csv")
echo "ls -R of the mount after the first listing of each zip: median of $runs runs $ls_ms ms" >>"$report"
list_runs_after=$(wc -l <"$count")

member=$mnt/z001.zip#/d3/f42.txt
start=$(now)
content=$(cat "$member")
read_ms=$(ms $(($(now) - start)))
[[ $content == "entry 3/42" ]] || { echo "run_mount_listing: $member holds \"$content\"" >&2; exit 2; }
echo "the first read of a member in a folder, which makes it (unzip -p): $read_ms ms" >>"$report"
"$quendrix" unmount "$mnt"

verdict() { awk -v v="$1" -v b="$2" 'BEGIN { print (v < b) ? "met" : "MISSED" }'; }
v_ls=$(verdict "$ls_ms" 2000)
v_runs=MISSED
[[ $list_runs == "$zips" && $list_runs_after == "$zips" ]] && v_runs=met
mkdir -p bench/results
{
  date -u +%Y-%m-%dT%H:%M:%SZ
  echo "$(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg), kernel $(uname -r)"
  cat "$report"
  echo "list programs run after two finds and $((runs + 1)) ls -R: $list_runs_after"
  echo "ls -R under 2 s: $v_ls; find twice runs each list program once: $v_runs"
} | tee bench/results/mount_listing.txt
[[ $v_ls == met && $v_runs == met ]]
