#!/usr/bin/env bash
# The manual pages as the build made them (cmake/manual.cmake), read with
# man at 80 columns: groff has nothing to warn about, whatis reads their
# NAME lines, they have the sections of a manual page, every command that
# `quendrix --help` lists is described by the documents the page carries and
# has its options listed, and every section of the documents is carried.
#   man_pages_test.sh QUENDRIX MANUAL_DIR DOCS_DIR
set -uo pipefail
quendrix=$1
manual=$2
docs=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# render PAGE: the page as man shows it, into $dir/PAGE.txt.
render() {
  MANWIDTH=80 man --warnings -E UTF-8 -l "$manual/$1.gz" >"$dir/$1.txt" 2>"$dir/$1.err"
  [[ $? == 0 && ! -s $dir/$1.err ]] || fail "man $1 warns or fails: $(cat "$dir/$1.err")"
  [[ -s $dir/$1.txt ]] || fail "man $1 shows nothing"
}
# section PAGE TITLE: the text of one section (up to the next one).
section() {
  awk -v title="$2" '/^[A-Z]/ { inside = ($0 == title); next } inside' "$dir/$1.txt"
}
# The headings of a document's sections (## lines), as a page shows them.
headings() {
  sed -n 's/^## //p' "$docs/$1" | tr -d '`'
}

for page in quendrix.1 quendrix.ini.5; do
  echo "=== $page"
  render "$page"
  lexgrog "$manual/$page.gz" | grep -q ": \"${page%.*} - " ||
    fail "whatis cannot read the NAME line of $page: $(lexgrog "$manual/$page.gz" 2>&1)"
  # What the documents hold that a page cannot show: a link left as
  # Markdown, a table left as a table.
  if grep -q '\](\|^ *|.*|' "$dir/$page.txt"; then
    fail "$page shows Markdown: $(grep -n '\](\|^ *|.*|' "$dir/$page.txt" | head -3)"
  fi
done

echo "=== the sections of each page"
for title in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES "SEE ALSO"; do
  grep -qx "$title" "$dir/quendrix.1.txt" || fail "quendrix.1 has no section $title"
done
for title in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
  grep -qx "$title" "$dir/quendrix.ini.5.txt" || fail "quendrix.ini.5 has no section $title"
done
# Each section of the documents is carried, as a section of the page
# (quendrix.ini.5) or a subsection (quendrix.1).
while read -r heading; do
  grep -qx "${heading^^}" "$dir/quendrix.ini.5.txt" ||
    fail "quendrix.ini.5 lacks the section \"$heading\" of rules-file.md"
done < <(headings rules-file.md)
while read -r heading; do
  grep -qx "   $heading" "$dir/quendrix.1.txt" ||
    fail "quendrix.1 lacks the section \"$heading\" of command.md"
done < <(headings command.md)

echo "=== every command and option of quendrix --help"
commands=$("$quendrix" --help | awk '/^[A-Za-z]+:$/ { inside = ($0 == "Subcommands:"); next }
  inside && /^  [^ ]/ { print $1 }')
[[ -n $commands ]] || fail "quendrix --help lists no commands"
section quendrix.1 DESCRIPTION >"$dir/description"
section quendrix.1 OPTIONS >"$dir/options"
for command in $commands; do
  # Described in the documents' words, not only listed.
  grep -q "quendrix $command\b" "$dir/description" ||
    fail "the DESCRIPTION of quendrix.1 (the documents) never shows \"quendrix $command\""
  grep -q "^   quendrix $command\b" "$dir/options" ||
    fail "the OPTIONS of quendrix.1 have no heading for quendrix $command"
  for option in $("$quendrix" "$command" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    [[ $option == --help ]] && continue
    awk -v c="quendrix $command" '/^   quendrix / { inside = index($0, c) == 4 } inside' \
      "$dir/options" | grep -q -- "$option\b" ||
      fail "the OPTIONS of quendrix.1 list no $option under quendrix $command"
  done
done
for option in $("$quendrix" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  grep -q -- "$option\b" "$dir/options" || fail "the OPTIONS of quendrix.1 list no $option"
done

if ((failures)); then exit 1; fi
echo "man_pages_test: both pages read cleanly and carry every command, option and document section"
