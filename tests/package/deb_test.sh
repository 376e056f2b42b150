#!/usr/bin/env bash
# The Debian package as a user meets it: built, checked by lintian, installed
# with apt, used through the installed host and the installed mc helper with
# rules in the user's folder (and once with the system's rules), removed,
# and nothing of it left but configuration.
#
# It installs and removes a package, so it runs as root on a machine of its
# own (scripts/test.sh runs it only when CI is set).
#   deb_test.sh [DEB]     without DEB, the package is built from the linux preset
set -uo pipefail
cd "$(dirname "$0")/../.."
if [[ $(id -u) != 0 ]]; then
  echo "deb_test: needs root to install the package"; exit 1
fi
if dpkg-query -W -f='${Status}' quendrix 2>/dev/null | grep -q " installed"; then
  echo "deb_test: quendrix is installed on this machine already; not touching it"; exit 1
fi
if [[ -e /etc/quendrix ]]; then
  echo "deb_test: /etc/quendrix exists; not touching it"; exit 1
fi

deb=${1:-}
if [[ -z $deb ]]; then
  cmake --preset linux >/dev/null &&
    cmake --build --preset linux --target quendrix quendrix_plugin quendrix_debian_changelog >/dev/null &&
    (cd build/linux && rm -f package/quendrix_*.deb && cpack -G DEB -B "$PWD/package" >/dev/null) ||
    { echo "deb_test: cannot build the package"; exit 1; }
  deb=$(ls build/linux/package/quendrix_*_amd64.deb)
fi
deb=$(realpath "$deb")

dir=$(mktemp -d)
installed=0
cleanup() {
  rm -rf /etc/quendrix
  ((installed)) && apt-get purge -y -q quendrix >/dev/null 2>&1
  rm -rf "$dir"
}
trap cleanup EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

echo "=== lintian $(basename "$deb")"
lintian "$deb" >"$dir/lintian" 2>&1
cat "$dir/lintian"
grep -q '^E:' "$dir/lintian" && fail "lintian reports errors"

# quendrix mount runs fusermount3, which the package must bring along.
dpkg-deb -f "$deb" Depends | grep -qw fuse3 || fail "Depends lacks fuse3: $(dpkg-deb -f "$deb" Depends)"

echo "=== install"
apt-get install -y -q "$deb" >"$dir/apt" 2>&1 || { cat "$dir/apt"; echo "FAILED: apt-get install"; exit 1; }
installed=1
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' >"$dir/files"

# A user of their own, with their rules in ~/.config/quendrix/.
export HOME=$dir/home
unset XDG_CONFIG_HOME QUENDRIX QUENDRIX_PLUGIN
export PATH=/usr/bin:/bin
examples=/usr/share/doc/quendrix/examples
mkdir -p "$HOME/.config/quendrix" "$dir/work" "$dir/out"
cp "$examples/quendrix.ini" "$HOME/.config/quendrix/quendrix.ini"
cp "$examples/samples/fruit.txt" "$dir/work/"
sorted=$(sort "$dir/work/fruit.txt")

echo "=== the installed host, the user's rules"
command -v quendrix | grep -qx /usr/bin/quendrix || fail "quendrix is not /usr/bin/quendrix"
quendrix list "$dir/work/fruit.txt" >"$dir/list" 2>&1 || fail "quendrix list: $(cat "$dir/list")"
grep -q 'fruit.sorted.txt' "$dir/list" || fail "quendrix list lacks fruit.sorted.txt: $(cat "$dir/list")"
quendrix extract "$dir/work/fruit.txt" fruit.sorted.txt -C "$dir/out" >"$dir/extract" 2>&1 ||
  fail "quendrix extract: $(cat "$dir/extract")"
[[ $(cat "$dir/out/fruit.sorted.txt" 2>/dev/null) == "$sorted" ]] || fail "extract made no sorted fruit"
quendrix explain "$dir/work/fruit.txt" >"$dir/explain" 2>&1
grep -qx "rules file  $HOME/.config/quendrix/quendrix.ini" "$dir/explain" ||
  fail "explain does not name the user's rules: $(cat "$dir/explain")"

echo "=== the installed mc helper"
helper=/usr/lib/mc/extfs.d/uquendrix
"$helper" list "$dir/work/fruit.txt" >"$dir/mclist" 2>&1 || fail "uquendrix list: $(cat "$dir/mclist")"
grep -q ' \./fruit\.sorted\.txt$' "$dir/mclist" || fail "uquendrix list lacks fruit.sorted.txt: $(cat "$dir/mclist")"
: >"$dir/mcout"
"$helper" copyout "$dir/work/fruit.txt" fruit.sorted.txt "$dir/mcout" >"$dir/mccopy" 2>&1 ||
  fail "uquendrix copyout: $(cat "$dir/mccopy")"
[[ $(cat "$dir/mcout") == "$sorted" ]] || fail "uquendrix copyout made no sorted fruit"

echo "=== the installed mount"
if [[ -e /dev/fuse ]]; then
  mkdir -p "$dir/mnt"
  quendrix mount "$dir/work/fruit.txt" "$dir/mnt" >"$dir/mount" 2>&1 || fail "quendrix mount: $(cat "$dir/mount")"
  [[ $(cat "$dir/mnt/fruit.sorted.txt" 2>/dev/null) == "$sorted" ]] || fail "the mount shows no sorted fruit"
  quendrix unmount "$dir/mnt" >>"$dir/mount" 2>&1 || fail "quendrix unmount: $(cat "$dir/mount")"
else
  echo "deb_test: no /dev/fuse here; the installed mount is not tried"
fi

echo "=== the system's rules, logging into the user's folder"
rm -rf "$HOME/.config/quendrix"
mkdir -p /etc/quendrix
printf '[txt]\nlog=1\ncommand1=/usr/bin/sort -r -o fileout filein\nfileout1=[N].reversed.txt\n' \
  >/etc/quendrix/quendrix.ini
quendrix extract "$dir/work/fruit.txt" -C "$dir/out" >"$dir/system" 2>&1 ||
  fail "extract with the system's rules: $(cat "$dir/system")"
[[ $(cat "$dir/out/fruit.reversed.txt" 2>/dev/null) == "$(sort -r "$dir/work/fruit.txt")" ]] ||
  fail "the system's rules made no reversed fruit"
grep -q '^command1 = /usr/bin/sort -r' "$HOME/.config/quendrix/quendrix.log" 2>/dev/null ||
  fail "the system's rules logged nothing into $HOME/.config/quendrix/"
rm -rf /etc/quendrix

echo "=== remove"
apt-get remove -y -q quendrix >"$dir/apt" 2>&1 || { cat "$dir/apt"; fail "apt-get remove"; }
status=$(dpkg-query -W -f='${db:Status-Status}' quendrix 2>/dev/null || echo not-installed)
[[ $status == not-installed || $status == config-files ]] ||
  fail "after apt-get remove the package is '$status'"
while read -r file; do
  [[ -e $file ]] && fail "$file is left after apt-get remove"
done <"$dir/files"

if ((failures)); then exit 1; fi
echo "deb_test: $(basename "$deb") installs, serves the user's and the system's rules, and removes cleanly"
