#!/usr/bin/env bash
# The Debian package as a user meets it: built, checked by lintian, installed
# with apt, its manual pages read with man and its commands completed by
# bash, used as a user without rules of their own (the recipes it installs
# as the system's rules), used through the installed host and the installed
# mc helper with rules in the user's folder (and once with edited system's
# rules), removed, and nothing of it left but configuration.
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
    cmake --build --preset linux --target quendrix_debian_files >/dev/null &&
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
# Errors and warnings fail; the pedantic and informational lines are shown.
lintian --pedantic --display-info --display-experimental "$deb" >"$dir/lintian" 2>&1
lintian_status=$?
grep -v '^running with root privileges' "$dir/lintian"
grep -q '^[EW]:' "$dir/lintian" && fail "lintian reports errors or warnings"
[[ $lintian_status == 0 ]] || grep -q '^[EW]:' "$dir/lintian" ||
  fail "lintian could not check the package (exit $lintian_status)"

# The programs of the recipes are suggested.
for suggested in poppler-utils imagemagick ffmpeg sqlite3; do
  dpkg-deb -f "$deb" Suggests | grep -qw "$suggested" || fail "Suggests lacks $suggested"
done

# quendrix mount runs fusermount3, which the package must bring along, and
# the recipes' scripts in Python need python3.
for needed in fuse3 python3; do
  dpkg-deb -f "$deb" Depends | grep -qw "$needed" || fail "Depends lacks $needed: $(dpkg-deb -f "$deb" Depends)"
done

echo "=== install"
apt-get install -y -q "$deb" >"$dir/apt" 2>&1 || { cat "$dir/apt"; echo "FAILED: apt-get install"; exit 1; }
installed=1
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' >"$dir/files"

# A user of their own, at first without rules of their own.
export HOME=$dir/home
unset XDG_CONFIG_HOME XDG_CACHE_HOME QUENDRIX QUENDRIX_PLUGIN
export PATH=/usr/bin:/bin
examples=/usr/share/doc/quendrix/examples
mkdir -p "$HOME" "$dir/work" "$dir/out"
cp "$examples/samples/fruit.txt" "$dir/work/"
sorted=$(sort "$dir/work/fruit.txt")

echo "=== the system's rules: the recipes"
dpkg-query -W -f='${Conffiles}\n' quendrix | grep -q '^ */etc/quendrix/quendrix.ini ' ||
  fail "/etc/quendrix/quendrix.ini is not a conffile of the package"
cmp -s /etc/quendrix/quendrix.ini "$examples/quendrix.ini" ||
  fail "the system's rules are not the recipes of $examples"
quendrix check >"$dir/check" 2>&1 || fail "quendrix check of the system's rules: $(cat "$dir/check")"
quendrix list "$dir/work/fruit.txt" >"$dir/list" 2>&1 || fail "quendrix list with the system's rules: $(cat "$dir/list")"
grep -q 'fruit.sorted.txt' "$dir/list" || fail "the system's rules list no fruit.sorted.txt: $(cat "$dir/list")"
grep -q '/etc/quendrix/quendrix.ini' <(quendrix explain "$dir/work/fruit.txt" 2>&1) ||
  fail "explain does not name the system's rules"

echo "=== the recipes' scripts"
# Every script of examples/recipes/, executable, in /usr/lib/quendrix/recipes/,
# where the installed plug-in finds them by their bare names.
for script in examples/recipes/*; do
  installed=/usr/lib/quendrix/recipes/${script##*/}
  [[ -x $installed ]] || fail "$installed is not installed as a program"
  cmp -s "$script" "$installed" || fail "$installed differs from $script"
done
[[ $(ls /usr/lib/quendrix/recipes | wc -l) == $(ls examples/recipes | wc -l) ]] ||
  fail "/usr/lib/quendrix/recipes/ holds $(ls /usr/lib/quendrix/recipes)"
tar -C "$dir/work" -cf "$dir/work/pack.tar" fruit.txt
quendrix explain "$dir/work/pack.tar" >"$dir/explain" 2>&1
grep -qF "program   /usr/lib/quendrix/recipes/tar-entries (in the plug-in's recipes folder)" "$dir/explain" ||
  fail "explain does not run the installed tar-entries: $(cat "$dir/explain")"
quendrix extract "$dir/work/pack.tar" fruit.txt -C "$dir/out/pack" >"$dir/extract" 2>&1 ||
  fail "extract fruit.txt from pack.tar: $(cat "$dir/extract")"
cmp -s "$dir/out/pack/fruit.txt" "$dir/work/fruit.txt" || fail "pack.tar's fruit.txt is not the file packed"
# By hand, as docs/recipes.md shows.
[[ $(/usr/lib/quendrix/recipes/tar-entries list "$dir/work/pack.tar" | cut -f1) == fruit.txt ]] ||
  fail "tar-entries list by hand does not list fruit.txt"

# From here on the user's own rules, in ~/.config/quendrix/.
mkdir -p "$HOME/.config/quendrix"
cp "$examples/quendrix.ini" "$HOME/.config/quendrix/quendrix.ini"

echo "=== the installed manual pages"
# man reads them as a user does, at 80 columns; a warning of groff (a line
# it cannot break, a bad request) fails like a missing page.
for page in "1 quendrix" "5 quendrix.ini"; do
  read -r section name <<<"$page"
  path=$(man -w "$section" "$name" 2>&1) ||
    fail "man -w $section $name finds no page: $path"
  [[ $path == /usr/share/man/man$section/$name.$section.gz ]] ||
    fail "man -w $section $name finds $path"
  MANWIDTH=80 man --warnings -E UTF-8 "$section" "$name" >"$dir/page" 2>"$dir/page.err" ||
    fail "man $section $name: $(cat "$dir/page.err")"
  [[ -s $dir/page.err ]] && fail "man $section $name warns: $(cat "$dir/page.err")"
  grep -q "^NAME" "$dir/page" && grep -q "^SEE ALSO" "$dir/page" ||
    fail "man $section $name shows no page with NAME and SEE ALSO"
done
# Without a section, as the issue's reader types it.
[[ $(man -w quendrix.ini 2>&1) == /usr/share/man/man5/quendrix.ini.5.gz ]] ||
  fail "man quendrix.ini finds $(man -w quendrix.ini 2>&1)"
# Which page is which: the commands in section 1, the keys in section 5.
MANWIDTH=80 man 1 quendrix 2>/dev/null | grep -q '^ *quendrix mount SOURCE MOUNTPOINT' ||
  fail "man quendrix does not show quendrix mount"
MANWIDTH=80 man 5 quendrix.ini 2>/dev/null | grep -q '^KEYS OF A SECTION' ||
  fail "man 5 quendrix.ini does not show the keys of a section"
# The NAME line, as man -k and whatis read it.
lexgrog /usr/share/man/man1/quendrix.1.gz | grep -q '"quendrix - ' ||
  fail "man quendrix has no NAME line that whatis reads: $(lexgrog /usr/share/man/man1/quendrix.1.gz 2>&1)"

echo "=== the installed completion"
# The file as bash reads it, sourced by its path.
completion=/usr/share/bash-completion/completions/quendrix
[[ -f $completion ]] || fail "no $completion"
# complete WORDS...: what the completion offers for the last word.
complete_words() {
  bash --norc --noprofile -c 'source "$0" || exit 1
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _quendrix quendrix "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' "$completion" "$@"
}
[[ $(complete_words quendrix mo) == mount ]] ||
  fail "quendrix mo<TAB> completes to '$(complete_words quendrix mo)', not mount"
[[ $(complete_words quendrix extract notes.txt --ov) == --overwrite ]] ||
  fail "quendrix extract notes.txt --ov<TAB> does not complete to --overwrite"
# And as a person types it: Tab in an interactive login shell, which loads
# bash-completion (setup.sh installs it), and through it this completion.
if [[ -f /usr/share/bash-completion/bash_completion ]] && command -v tmux >/dev/null; then
  socket=quendrix-deb-test-$$
  tmux -L "$socket" new-session -d -x 100 -y 10 \
    env -i HOME="$HOME" TERM=xterm PATH=/usr/bin:/bin PS1='$ ' bash --login -i
  sleep 1
  tmux -L "$socket" send-keys 'quendrix mo' Tab
  typed=""
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    sleep 0.5
    typed=$(tmux -L "$socket" capture-pane -p | grep -m1 'quendrix m')
    [[ $typed == *"quendrix mount"* ]] && break
  done
  tmux -L "$socket" kill-server 2>/dev/null
  [[ $typed == *"quendrix mount"* ]] ||
    fail "Tab after 'quendrix mo' in an interactive bash shows '$typed'"
else
  echo "deb_test: no bash-completion or tmux here; Tab in an interactive shell is not tried"
fi

echo "=== the installed documents"
# The README's links into docs/ lead to files of the package.
readme=/usr/share/doc/quendrix/README.md
grep -o '](docs/[^)#]*' "$readme" | sed 's/^](//' | sort -u >"$dir/links"
[[ -s $dir/links ]] || fail "the installed README links into no docs/"
while read -r link; do
  [[ -f /usr/share/doc/quendrix/$link ]] || fail "the README's link $link leads to no installed file"
done <"$dir/links"

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

echo "=== the system's rules, edited, logging into the user's folder"
rm -rf "$HOME/.config/quendrix"
cp /etc/quendrix/quendrix.ini "$dir/recipes.ini"
printf '[txt]\nlog=1\ncommand1=/usr/bin/sort -r -o fileout filein\nfileout1=[N].reversed.txt\n' \
  >/etc/quendrix/quendrix.ini
quendrix extract "$dir/work/fruit.txt" -C "$dir/out" >"$dir/system" 2>&1 ||
  fail "extract with the system's rules: $(cat "$dir/system")"
[[ $(cat "$dir/out/fruit.reversed.txt" 2>/dev/null) == "$(sort -r "$dir/work/fruit.txt")" ]] ||
  fail "the system's rules made no reversed fruit"
grep -q '^command1 = /usr/bin/sort -r' "$HOME/.config/quendrix/quendrix.log" 2>/dev/null ||
  fail "the system's rules logged nothing into $HOME/.config/quendrix/"

echo "=== remove"
apt-get remove -y -q quendrix >"$dir/apt" 2>&1 || { cat "$dir/apt"; fail "apt-get remove"; }
status=$(dpkg-query -W -f='${db:Status-Status}' quendrix 2>/dev/null || echo not-installed)
[[ $status == not-installed || $status == config-files ]] ||
  fail "after apt-get remove the package is '$status'"
# A removed package keeps its conffile, the administrator's edits in it, until
# it is purged.
[[ -f /etc/quendrix/quendrix.ini ]] || fail "apt-get remove took the edited system's rules"
while read -r file; do
  [[ $file == /etc/* ]] && continue
  [[ -e $file ]] && fail "$file is left after apt-get remove"
done <"$dir/files"
apt-get purge -y -q quendrix >"$dir/apt" 2>&1 || { cat "$dir/apt"; fail "apt-get purge"; }
installed=0
[[ -e /etc/quendrix/quendrix.ini ]] && fail "apt-get purge left /etc/quendrix/quendrix.ini"

if ((failures)); then exit 1; fi
echo "deb_test: $(basename "$deb") installs, serves the user's and the system's rules, and removes cleanly"
