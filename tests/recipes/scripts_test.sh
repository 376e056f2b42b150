#!/usr/bin/env bash
# The recipes' helper scripts (examples/recipes/) alone, run by hand as a
# user runs them: their verbs and usage, each on samples made here with the
# real tools and on real files of this system (Debian packages in apt's
# cache, PDFs under /usr/share/doc, distro-info's CSV files), held against
# what the files hold by other means (the folder an archive was made from,
# dpkg-deb -x, pdfinfo); damaged files and names that are no member must
# fail with a message and no output.
#
# A group whose programs are missing is skipped and named; the test then
# ends with exit code 77, which CTest shows as skipped.
#   scripts_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$(cd "$1" && pwd)
scripts=$source_dir/examples/recipes
tree_listing=$source_dir/tests/recipes/tree_listing.py
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# Times are listed in local time: UTC here, so that they can be written out.
export TZ=UTC LC_ALL=C.UTF-8 PATH=/usr/bin:/bin
T='2021-03-04 05:06:08'

source "$source_dir/tests/recipes/checks.sh"

# run STATUS SCRIPT ARG...: the script ends with STATUS; its output is in
# $dir/out, its messages in $dir/err.
run() {
  local want=$1 script=$2 got
  shift 2
  "$scripts/$script" "$@" >"$dir/out" 2>"$dir/err"
  got=$?
  if [[ $got == "$want" ]]; then pass; return 0; fi
  fail "$script $*: exit status $got, not $want: $(head -c 400 "$dir/err")"
  return 1
}

# refused SCRIPT ARG... -- MESSAGE: the script fails (status 1), writes
# nothing to stdout, and says MESSAGE on stderr.
refused() {
  local script=$1 message
  shift
  local args=()
  while [[ $1 != -- ]]; do args+=("$1"); shift; done
  message=$2
  run 1 "$script" "${args[@]}" || return
  if [[ -s $dir/out ]]; then fail "$script ${args[*]} wrote $(wc -c <"$dir/out") bytes before failing"; else pass; fi
  if grep -qF -- "$message" "$dir/err"; then pass; else
    fail "$script ${args[*]} does not say \"$message\": $(head -c 400 "$dir/err")"
  fi
}

# output_is TEXT_FILE: the last run's output is exactly that file's.
output_is() {
  if cmp -s "$dir/out" "$1"; then pass; else fail "the output differs from ${1##*/}: $(diff "$1" "$dir/out" | head -n 8)"; fi
}

# listing_is FILE: the last list's names and sizes, sorted, are FILE's lines.
listing_is() {
  cut -f1,2 "$dir/out" | LC_ALL=C sort >"$dir/listed"
  if cmp -s "$dir/listed" "$1"; then pass; else
    fail "the list differs from ${1##*/} (< expected, > listed): $(diff "$1" "$dir/listed" | head -n 12)"
  fi
}

magic() { # FILE HEX: the file begins with these bytes
  local got
  got=$(od -An -tx1 -N $((${#2} / 2)) "$1" | tr -d ' \n')
  if [[ $got == "$2" ]]; then pass; else fail "${1##*/} begins with $got, not $2"; fi
}

# ---------------------------------------------------------------------------

# Every script: its usage on a wrong call (exit status 2), and a file that
# is not there (exit status 1, with a message and no output).
group_usage() {
  group "usage (every script)" python3 || return 0
  local script name count=0
  for script in "$scripts"/*; do
    name=${script##*/}
    count=$((count + 1))
    [[ -x $script ]] && pass || fail "$name is not executable"
    run 2 "$name" && { grep -q "^usage: $name " "$dir/err" && pass || fail "$name without arguments shows no usage"; }
    run 2 "$name" nosuchverb "$dir/none"
    run 2 "$name" list
    run 2 "$name" extract "$dir/none" member extra
    refused "$name" list "$dir/none" -- "$dir/none"
  done
  ((count >= 7)) && pass || fail "only $count scripts in $scripts"
}

group_tar() {
  group "tar-entries (tar, gzip, bzip2, xz-utils, zstd, dpkg)" tar gzip bzip2 xz zstd dpkg-deb python3 || return 0
  # A folder with every kind of entry: files in folders, an empty folder,
  # names that look like patterns, a hard link, links within the archive
  # (relative, upwards, absolute from its root, through a linked folder),
  # links out of it and to nothing, a link to a folder, a pipe, and a name
  # with a newline.
  local r=$dir/tree
  mkdir -p "$r/docs/sub dir" "$r/docs/empty"
  printf 'plain\n' >"$r/docs/a1.txt"
  printf 'alpha\n' >"$r/docs/sub dir/a[1].txt"
  printf 'star\n' >"$r/docs/x*y.txt"
  printf 'top\n' >"$r/top.txt"
  printf 'accent\n' >"$r/café ü.bin"
  printf 'odd\n' >"$r/new"$'\n'"line.txt"
  ln "$r/docs/a1.txt" "$r/docs/hard.txt"
  ln -s a1.txt "$r/docs/sym.txt"
  ln -s ../top.txt "$r/docs/up.txt"
  ln -s /docs/a1.txt "$r/abs"
  ln -s /etc/hostname "$r/out"
  ln -s nosuch "$r/dangling"
  ln -s docs "$r/linkdir"
  ln -s linkdir/a1.txt "$r/viadir.txt"
  mkfifo "$r/fifo"
  find "$r" -exec touch -h -d "$T" {} +
  python3 "$tree_listing" "$r" >"$dir/tree.listing"
  grep -q '^viadir.txt	6$' "$dir/tree.listing" && pass || fail "tree_listing.py: $(cat "$dir/tree.listing")"

  local a=$dir/archives
  mkdir -p "$a"
  tar -C "$r" -cf "$a/tree.tar" .
  tar -C "$r" -czf "$a/tree.tgz" .
  tar -C "$r" -cjf "$a/tree.tbz2" .
  tar -C "$r" -cJf "$a/tree.txz" .
  tar -C "$r" --zstd -cf "$a/tree.tar.zst" .
  # Names without ./, and an archive whose own name holds a colon and
  # starts with a dash (no remote archive of tar's, no option).
  (cd "$r" && tar -cf "$a/-odd:name.tar" -- *)
  local archive member source
  for archive in "$a"/*; do
    run 0 tar-entries list "$archive" || continue
    listing_is "$dir/tree.listing"
    if awk -F'\t' '$3 != "'"$T"'" { bad = 1 } END { exit bad }' "$dir/out"; then pass; else
      fail "${archive##*/}: a time is not $T: $(grep -v "$T" "$dir/out")"
    fi
    grep -q 'left out .*line.txt' "$dir/err" && pass || fail "${archive##*/}: the name with a newline is not named"
    # Each member's content: a link gives the content of the file it
    # leads to.
    while read -r member source; do
      run 0 tar-entries extract "$archive" "$member" && output_is "$r/$source"
    done <<'EOF'
docs/a1.txt docs/a1.txt
./docs/a1.txt docs/a1.txt
docs/hard.txt docs/a1.txt
docs/sym.txt docs/a1.txt
docs/up.txt top.txt
abs docs/a1.txt
viadir.txt docs/a1.txt
top.txt top.txt
EOF
    run 0 tar-entries extract "$archive" "docs/sub dir/a[1].txt" && output_is "$r/docs/sub dir/a[1].txt"
    run 0 tar-entries extract "$archive" "café ü.bin" && output_is "$r/café ü.bin"
    refused tar-entries extract "$archive" docs -- "a folder"
    refused tar-entries extract "$archive" out -- "a link to no file"
    refused tar-entries extract "$archive" linkdir -- "a link to no file"
    refused tar-entries extract "$archive" "docs/a?.txt" -- "no such entry"
  done

  # An archive appended to: a name stored twice is listed once, with its
  # last copy, which is what is extracted, and links lead to it.
  mkdir -p "$dir/later"
  printf 'newer top\n' >"$dir/later/top.txt"
  cp "$a/tree.tar" "$dir/twice.tar"
  tar -C "$dir/later" -rf "$dir/twice.tar" ./top.txt
  run 0 tar-entries list "$dir/twice.tar" &&
    [[ $(grep -c '^top.txt	' "$dir/out") == 1 ]] && grep -q '^top.txt	10	' "$dir/out" && pass ||
    fail "twice.tar lists top.txt as $(grep '^top.txt' "$dir/out")"
  run 0 tar-entries extract "$dir/twice.tar" top.txt && output_is "$dir/later/top.txt"
  run 0 tar-entries extract "$dir/twice.tar" docs/up.txt && output_is "$dir/later/top.txt"
  # Into a file tar-entries extracts in one reading when it can, and empties
  # the file again where it cannot (a link, a name stored twice); into a
  # pipe, which cannot be emptied, it lists the archive first. Both ways
  # give the same.
  local piped
  for piped in "tree.txz docs/a1.txt docs/a1.txt" "tree.txz docs/sym.txt docs/a1.txt" \
    "tree.tar viadir.txt docs/a1.txt"; do
    read -r archive member source <<<"$piped"
    "$scripts/tar-entries" extract "$a/$archive" "$member" 2>"$dir/err" | cat >"$dir/out"
    output_is "$r/$source"
  done
  "$scripts/tar-entries" extract "$dir/twice.tar" top.txt | cat >"$dir/out"
  output_is "$dir/later/top.txt"

  # Cut short inside an entry's data, and a compressed archive cut short:
  # the list and the entries fail.
  head -c 30000 /dev/urandom >"$dir/big.bin"
  tar -C "$dir" -cf "$dir/big.tar" big.bin
  cut_to "$dir/big.tar" 50 "$dir/cut.tar"
  refused tar-entries list "$dir/cut.tar" -- "tar could not read"
  refused tar-entries extract "$dir/cut.tar" big.bin -- "tar could not read"
  xz -c "$dir/big.tar" >"$dir/big.txz"
  cut_to "$dir/big.txz" 50 "$dir/cut.txz"
  refused tar-entries list "$dir/cut.txz" -- "tar could not read"
  refused tar-entries list /etc/hostname -- "tar could not read"

  # A Debian package made here: the files it installs, its links.
  local p=$dir/pkg
  mkdir -p "$p/DEBIAN" "$p/usr/share/demo"
  printf 'Package: demo\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@example.org>\nDescription: a demo\n' >"$p/DEBIAN/control"
  printf 'hello deb\n' >"$p/usr/share/demo/file one.txt"
  ln -s "file one.txt" "$p/usr/share/demo/link"
  ln "$p/usr/share/demo/file one.txt" "$p/usr/share/demo/hard"
  for compression in gzip xz zstd none; do
    dpkg-deb --root-owner-group -Z"$compression" --build "$p" "$dir/demo.deb" >/dev/null || { fail "dpkg-deb -Z$compression"; continue; }
    rm -rf "$dir/demo" && dpkg-deb -x "$dir/demo.deb" "$dir/demo"
    python3 "$tree_listing" "$dir/demo" >"$dir/demo.listing"
    run 0 tar-entries list "$dir/demo.deb" && listing_is "$dir/demo.listing"
    for member in "usr/share/demo/file one.txt" usr/share/demo/link usr/share/demo/hard; do
      run 0 tar-entries extract "$dir/demo.deb" "$member" && output_is "$p/usr/share/demo/file one.txt"
    done
  done
  cut_to "$dir/demo.deb" 60 "$dir/cut.deb"
  refused tar-entries list "$dir/cut.deb" -- "tar could not read"

  # Real packages of this system: of the first 40 small ones of apt's
  # cache, the first, the first with links and the first with hard links,
  # each held against its files unpacked by dpkg-deb -x.
  local deb chosen=() kinds seen="" looked=0
  for deb in /var/cache/apt/archives/*.deb; do
    [[ -f $deb && $(stat -c %s "$deb") -lt 3000000 ]] || continue
    ((looked++ < 40)) || break
    kinds=$(dpkg-deb -c "$deb" 2>/dev/null | cut -c1 | sort -u | tr -d '\n')
    if [[ $kinds == *l* && $seen != *l* ]] || [[ $kinds == *h* && $seen != *h* ]] ||
      [[ ${#chosen[@]} == 0 ]]; then
      chosen+=("$deb")
      seen+=$kinds
    fi
    [[ $seen == *l* && $seen == *h* && ${#chosen[@]} -ge 2 ]] && break
  done
  if ((${#chosen[@]} == 0)); then
    echo "  (no Debian package in /var/cache/apt/archives: real packages not tried)"
  fi
  for deb in "${chosen[@]}"; do
    echo "  real package ${deb##*/}"
    rm -rf "$dir/real" && mkdir "$dir/real" && dpkg-deb -x "$deb" "$dir/real"
    python3 "$tree_listing" "$dir/real" >"$dir/real.listing"
    run 0 tar-entries list "$deb" && listing_is "$dir/real.listing" || continue
    # Its first file and its first link within the package.
    for member in "$(grep -v '/	' "$dir/real.listing" | while IFS=$'\t' read -r name _; do
      [[ ! -L $dir/real/$name ]] && { echo "$name"; break; }; done)" \
      "$(grep -v '/	' "$dir/real.listing" | while IFS=$'\t' read -r name _; do
      [[ -L $dir/real/$name && $(readlink -f "$dir/real/$name") == "$dir/real/"* ]] && { echo "$name"; break; }; done)"; do
      [[ -n $member ]] || continue
      run 0 tar-entries extract "$deb" "$member" && output_is "$(readlink -f "$dir/real/$member")"
    done
  done
}

group_7z() {
  group "7z-entries (p7zip-full, zip)" 7z zip python3 || return 0
  local r=$dir/ziptree
  mkdir -p "$r/top/sub dir/deeper" "$r/top/empty"
  printf 'deep\n' >"$r/top/sub dir/deeper/d.txt"
  printf 'one\n' >"$r/top/a[1].txt"
  printf 'plain\n' >"$r/top/a1.txt"
  head -c 3000 /dev/urandom >"$r/top/café ü.bin"
  find "$r" -exec touch -d "$T" {} +
  python3 "$tree_listing" "$r" >"$dir/zip.listing"
  (cd "$r" && zip -qr "$dir/nested.zip" top && 7z a -bd -bso0 "$dir/nested.7z" top) || { fail "making the zip and 7z"; return; }
  local archive member
  for archive in "$dir/nested.zip" "$dir/nested.7z"; do
    run 0 7z-entries list "$archive" || continue
    listing_is "$dir/zip.listing"
    grep -q "^top/a1.txt	6	$T\$" "$dir/out" && pass || fail "${archive##*/}: top/a1.txt's time: $(grep a1.txt "$dir/out")"
    for member in "top/sub dir/deeper/d.txt" "top/a[1].txt" top/a1.txt "top/café ü.bin"; do
      run 0 7z-entries extract "$archive" "$member" && output_is "$r/$member"
    done
    refused 7z-entries extract "$archive" "top/sub dir" -- "a folder"
    refused 7z-entries extract "$archive" "top/a?.txt" -- "no such entry"
  done
  cut_to "$dir/nested.zip" 60 "$dir/cut.zip"
  refused 7z-entries list "$dir/cut.zip" -- "7z could not read"
  # A flipped byte in a stored entry: its checksum fails (once 7z has
  # written the entry out: the plug-in removes what a failed command wrote).
  (cd "$r" && zip -q0 "$dir/stored.zip" top/a1.txt)
  local at
  at=$(grep -abo 'plain' "$dir/stored.zip" | head -n 1 | cut -d: -f1)
  printf 'X' | dd of="$dir/stored.zip" bs=1 seek="$at" conv=notrunc status=none
  run 1 7z-entries extract "$dir/stored.zip" top/a1.txt &&
    { grep -q "7z could not extract" "$dir/err" && pass || fail "the flipped byte: $(cat "$dir/err")"; }
}

group_pdf() {
  group "pdf-pages (poppler-utils; samples: imagemagick, libtiff-tools)" pdfinfo pdftoppm pdfimages convert tiff2pdf || return 0
  # One page that is one picture of 40x30 pixels.
  convert -size 40x30 gradient:red-blue -depth 8 "$dir/picture.tiff"
  tiff2pdf -o "$dir/picture.pdf" "$dir/picture.tiff"
  printf 'page-001.png\nimages/page-001-image-000.png\n' >"$dir/picture.listing"
  run 0 pdf-pages list "$dir/picture.pdf" && output_is "$dir/picture.listing"
  run 0 pdf-pages extract "$dir/picture.pdf" page-001.png && magic "$dir/out" 89504e470d0a1a0a
  run 0 pdf-pages extract "$dir/picture.pdf" images/page-001-image-000.png &&
    [[ $(od -An -tu1 -j 16 -N 8 "$dir/out" | awk '{print $4 "x" $8}') == 40x30 ]] && pass ||
    fail "the image is not the 40x30 picture"
  local member
  for member in page-002.png page-abc.png images/page-001-image-001.png images/page-x-image-000.png other.png; do
    refused pdf-pages extract "$dir/picture.pdf" "$member" -- ""
  done
  cut_to "$dir/picture.pdf" 40 "$dir/cut.pdf"
  refused pdf-pages list "$dir/cut.pdf" -- "pdf-pages:"
  # The PDFs of this system's documentation: a page per page that pdfinfo
  # counts, an image per line of pdfimages' list, the first and last page
  # drawn.
  local pdf pages tried=0
  for pdf in /usr/share/doc/*/*.pdf; do
    [[ -f $pdf ]] || continue
    ((tried++ < 2)) || break
    echo "  real PDF $pdf"
    pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
    run 0 pdf-pages list "$pdf" || continue
    [[ $(grep -c '^page-[0-9]*\.png$' "$dir/out") == "$pages" ]] && pass || fail "$pdf: not $pages pages listed"
    [[ $(grep -c '^images/' "$dir/out") == $(($(pdfimages -list "$pdf" | wc -l) - 2)) ]] && pass ||
      fail "$pdf: not every image listed"
    run 0 pdf-pages extract "$pdf" page-001.png && magic "$dir/out" 89504e470d0a1a0a
    run 0 pdf-pages extract "$pdf" "$(printf 'page-%03d.png' "$pages")" && magic "$dir/out" 89504e470d0a1a0a
  done
  ((tried > 0)) || echo "  (no PDF under /usr/share/doc: real PDFs not tried)"
}

group_sqlite() {
  group "sqlite-tables (sqlite3)" sqlite3 python3 || return 0
  sqlite3 "$dir/shop.sqlite" "CREATE TABLE fruit(name TEXT, qty INT);
    INSERT INTO fruit VALUES ('apple', 3), ('pear, green', 5);
    CREATE TABLE \"odd 'name'\"(a); INSERT INTO \"odd 'name'\" VALUES (1);
    CREATE TABLE \"q\"\"uote\"(b); INSERT INTO \"q\"\"uote\" VALUES ('x');" || { fail "making the database"; return; }
  printf 'tables/\ntables/fruit.csv\ntables/odd '"'"'name'"'"'.csv\ntables/q"uote.csv\n' >"$dir/shop.listing"
  run 0 sqlite-tables list "$dir/shop.sqlite" && output_is "$dir/shop.listing"
  printf 'name,qty\napple,3\n"pear, green",5\n' >"$dir/fruit.csv"
  run 0 sqlite-tables extract "$dir/shop.sqlite" tables/fruit.csv && output_is "$dir/fruit.csv"
  printf 'b\nx\n' >"$dir/quote.csv"
  run 0 sqlite-tables extract "$dir/shop.sqlite" 'tables/q"uote.csv' && output_is "$dir/quote.csv"
  run 0 sqlite-tables extract "$dir/shop.sqlite" "tables/odd 'name'.csv"
  refused sqlite-tables extract "$dir/shop.sqlite" tables/nosuch.csv -- "no such table"
  refused sqlite-tables extract "$dir/shop.sqlite" fruit.csv -- "no such member"
  head -c 3000 /dev/urandom >"$dir/noise.sqlite"
  run 1 sqlite-tables list "$dir/noise.sqlite"
  refused sqlite-tables extract "$dir/noise.sqlite" tables/fruit.csv -- "not a database"
}

group_csv() {
  group "csv-table (python3)" python3 || return 0
  : >"$dir/some.csv"
  printf 'table.json\ntable.md\n' >"$dir/csv.listing"
  run 0 csv-table list "$dir/some.csv" && output_is "$dir/csv.listing"
  # A byte order mark, CR LF, a quoted comma and newline, an empty line, a
  # short row and trailing empty fields.
  printf '\xef\xbb\xbfname,qty,note\r\napple,3,"red, round\r\nand sweet"\r\n\r\npear\r\nfig,,\r\n' >"$dir/stock.csv"
  run 0 csv-table extract "$dir/stock.csv" table.json &&
    python3 -c 'import json, sys; assert json.load(open(sys.argv[1])) == [
      {"name": "apple", "qty": "3", "note": "red, round\r\nand sweet"},
      {"name": "pear", "qty": "", "note": ""}, {"name": "fig", "qty": "", "note": ""}]' "$dir/out" &&
    pass || fail "stock.csv as JSON: $(cat "$dir/out")"
  printf '| name | qty | note |\n| --- | --- | --- |\n| apple | 3 | red, round  and sweet |\n| pear |  |  |\n| fig |  |  |\n' >"$dir/stock.md"
  run 0 csv-table extract "$dir/stock.csv" table.md && output_is "$dir/stock.md"
  printf 'a,b\n1,2,3\n' >"$dir/long.csv"
  refused csv-table extract "$dir/long.csv" table.json -- "line 2 has 3 fields, the header 2"
  printf 'a,b\n1,"open\n' >"$dir/open.csv"
  refused csv-table extract "$dir/open.csv" table.md -- "csv-table:"
  refused csv-table extract "$dir/some.csv" table.json -- "no rows"
  printf 'a,b\n\xff,1\n' >"$dir/latin.csv"
  refused csv-table extract "$dir/latin.csv" table.json -- "utf-8"
  refused csv-table extract "$dir/stock.csv" table.html -- "no such member"
  # Debian's own: its rows leave out their trailing empty fields.
  local csv rows
  for csv in /usr/share/distro-info/*.csv; do
    [[ -f $csv ]] || { echo "  (no /usr/share/distro-info/*.csv: distro-info-data brings them)"; break; }
    echo "  real CSV $csv"
    rows=$(($(grep -c . "$csv") - 1))
    run 0 csv-table extract "$csv" table.json &&
      python3 -c 'import csv, json, sys
rows = json.load(open(sys.argv[1]))
header = next(csv.reader(open(sys.argv[2])))
assert len(rows) == int(sys.argv[3]), len(rows)
assert all(list(r) == header for r in rows)
assert any(len(r) < len(header) for r in csv.reader(open(sys.argv[2]))), "no short row"' \
        "$dir/out" "$csv" "$rows" && pass || fail "$csv as JSON"
    run 0 csv-table extract "$csv" table.md &&
      [[ $(wc -l <"$dir/out") == $((rows + 2)) ]] && pass || fail "$csv as Markdown: not $((rows + 2)) lines"
  done
}

group_mail() {
  group "mail-parts (python3)" python3 base64 || return 0
  printf 'first\n' >"$dir/same1"
  printf 'second\n' >"$dir/same2"
  head -c 2000 /dev/urandom >"$dir/data.bin"
  mail() {
    printf 'From: Ada <ada@example.org>\r\nSubject: =?utf-8?q?caf=C3=A9?= notes\r\n'
    printf 'MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="B"\r\n\r\n'
    printf -- '--B\r\nContent-Type: multipart/alternative; boundary="A"\r\n\r\n'
    printf -- '--A\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nThe text.\r\n'
    printf -- '--A\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>The text.</p>\r\n--A--\r\n'
    local name file
    for name in "same.txt:$dir/same1" "same.txt:$dir/same2" "a/b.txt:$dir/same1" ":$dir/data.bin"; do
      file=${name#*:}
      name=${name%%:*}
      printf -- '--B\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n'
      printf 'Content-Disposition: attachment%s\r\n\r\n' "${name:+; filename=\"$name\"}"
      base64 "$file" | sed 's/$/\r/'
    done
    printf -- '--B--\r\n'
  }
  mail >"$dir/letter.eml"
  run 0 mail-parts headers "$dir/letter.eml" && grep -qx 'Subject: café notes' "$dir/out" && pass ||
    fail "headers: $(cat "$dir/out")"
  # Parts are numbered from 0 among those that are not multipart.
  printf 'attachments/\nbody.txt\nbody.html\nattachments/same.txt\nattachments/3-same.txt\nattachments/a_b.txt\nattachments/part5\n' \
    >"$dir/letter.listing"
  run 0 mail-parts list "$dir/letter.eml" && output_is "$dir/letter.listing"
  local pair
  for pair in "attachments/same.txt:same1" "attachments/3-same.txt:same2" "attachments/a_b.txt:same1" \
    "attachments/part5:data.bin"; do
    run 0 mail-parts extract "$dir/letter.eml" "${pair%%:*}" && output_is "$dir/${pair#*:}"
  done
  run 0 mail-parts extract "$dir/letter.eml" body.html && grep -q '<p>The text.</p>' "$dir/out" && pass ||
    fail "body.html: $(cat "$dir/out")"
  refused mail-parts extract "$dir/letter.eml" attachments/nosuch -- "no such part"
  # Cut in the last attachment: it fails, the one before is whole.
  cut_to "$dir/letter.eml" 90 "$dir/cut.eml"
  refused mail-parts extract "$dir/cut.eml" attachments/part5 -- "damaged"
  run 0 mail-parts extract "$dir/cut.eml" attachments/a_b.txt && output_is "$dir/same1"
  head -c 2000 /dev/urandom | tr -d '\n:' >"$dir/noise.eml"
  refused mail-parts list "$dir/noise.eml" -- "no mail headers"
}

group_font() {
  group "font-sample (imagemagick, fontconfig)" convert fc-match || return 0
  local font
  font=$(fc-match -f '%{file}' 'DejaVu Sans')
  [[ -f $font ]] || { echo "  (no font found by fc-match)"; return 0; }
  cp "$font" "$dir/sample.ttf"
  run 0 font-sample list "$dir/sample.ttf" && [[ $(cat "$dir/out") == sample.png ]] && pass || fail "font-sample list"
  # By hand, from the font's folder, by its name alone.
  (cd "$dir" && "$scripts/font-sample" extract sample.ttf sample.png >"$dir/sample.png" 2>"$dir/err") &&
    magic "$dir/sample.png" 89504e470d0a1a0a || fail "font-sample extract sample.ttf: $(cat "$dir/err")"
  refused font-sample extract "$dir/sample.ttf" other.png -- "no such member"
  head -c 2000 /dev/urandom >"$dir/noise.ttf"
  refused font-sample extract "$dir/noise.ttf" sample.png -- "convert"
}

for each in usage tar 7z pdf sqlite csv mail font; do
  "group_$each"
done

finish "recipe scripts"
