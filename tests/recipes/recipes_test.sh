#!/usr/bin/env bash
# The shipped Linux recipes (examples/quendrix.ini) through the real host and
# plug-in: for each group, samples made here with the real tools, every
# member listed and made one by one, each output checked for what it must
# hold, and a damaged sample whose members must fail and leave no file.
# `quendrix check` must find no problem in the rules but programs that are
# not installed.
#
# A group whose programs are missing is skipped and named; the test then
# ends with exit code 77, which CTest shows as skipped, since it has not
# shown that every recipe works. At the end it prints how long each member
# took (each a `quendrix extract` of that member alone, so the host's start
# and the list program, timed apart as "(list)", are part of it).
#   recipes_test.sh QUENDRIX PLUGIN SOURCE_DIR
set -uo pipefail
quendrix=$1
plugin=$2
source_dir=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# The rules next to a copy of the plug-in come first, with the recipes'
# scripts in its recipes/ as installed; the user's folders point into the
# test's own, so nothing of whoever runs it is read or kept.
mkdir -p "$dir/plugin" "$dir/samples" "$dir/out" "$dir/damaged"
cp "$plugin" "$dir/plugin/quendrix.wcx"
cp "$source_dir/examples/quendrix.ini" "$dir/plugin/quendrix.ini"
cp -R "$source_dir/examples/recipes" "$dir/plugin/recipes"
export XDG_CONFIG_HOME=$dir/config XDG_CACHE_HOME=$dir/cache
# The recipes are written for Debian's programs: copies of this machine's
# own that come first on PATH (a Python version manager's shims, say) are
# not what is tested, and cost each start its time.
export PATH=/usr/bin:/bin:$PATH
S=$dir/samples

source "$source_dir/tests/recipes/checks.sh"

q() { "$quendrix" --plugin "$dir/plugin/quendrix.wcx" "$@"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# A member name as a pattern of `quendrix extract`, which takes * ? [ ] as
# wildcards.
pattern_of() { printf '%s' "$1" | sed 's/[][*?\\]/\\&/g'; }

# lists FILE NAME...: the file lists exactly these members (in any order).
lists() {
  local file=$1 t0 t1
  shift
  t0=$(now_ms)
  if ! q list --json "$file" >"$dir/list.json" 2>"$dir/list.err"; then
    fail "quendrix list ${file##*/}: $(cat "$dir/list.err")"
    return 1
  fi
  t1=$(now_ms)
  printf '%s\t%s\t%s\t%d\n' "$group" "${file##*/}" "(list)" $((t1 - t0)) >>"$dir/times"
  local want got
  want=$(printf '%s\n' "$@" | sort)
  got=$(python3 -c 'import json, sys; [print(m["name"]) for m in json.load(open(sys.argv[1]))["members"]]' \
    "$dir/list.json" | sort)
  if [[ $want == "$got" ]]; then pass; else
    fail "${file##*/} lists"$'\n'"$got"$'\n'"instead of"$'\n'"$want"
    return 1
  fi
}

# lists_tree FILE ROOT NAME...: the file lists the numbered members NAME...
# and every file of the folder ROOT it was made from, as
# tests/recipes/tree_listing.py reads the folder (links that lead to files
# within it included), each with the size of its file.
lists_tree() {
  local file=$1 root=$2
  shift 2
  python3 "$source_dir/tests/recipes/tree_listing.py" "$root" | grep -v '/	' >"$dir/tree.expected"
  local names=()
  mapfile -t names < <(cut -f1 "$dir/tree.expected")
  lists "$file" "$@" "${names[@]}" || return 1
  python3 -c 'import json, sys
sizes = {m["name"]: m.get("size") for m in json.load(open(sys.argv[1]))["members"]}
for line in open(sys.argv[2], encoding="utf-8"):
    name, size = line.rstrip("\n").split("\t")
    assert sizes[name] == int(size), "%s is listed with %s bytes, not %s" % (name, sizes[name], size)' \
    "$dir/list.json" "$dir/tree.expected" 2>"$dir/sizes.err" && pass ||
    fail "${file##*/}: $(tail -n 1 "$dir/sizes.err")"
}

# members FILE NAME...: the file lists exactly these members, and each of
# them is made, one by one, into out/FILE/; `made` then checks what it holds.
members() {
  local file=$1 member
  lists "$@" || return
  shift
  for member in "$@"; do
    make_one "$file" "$member" && pass
  done
}

# listed MEMBER FIELD: a field (size, fileTime) of a member in the list that
# `lists` read last.
listed() {
  python3 -c 'import json, sys
for m in json.load(open(sys.argv[1]))["members"]:
    if m["name"] == sys.argv[2]: print(m[sys.argv[3]])' "$dir/list.json" "$1" "$2"
}

# make_one FILE MEMBER: makes one member into out/FILE/ by a quendrix
# extract of it alone, whose time goes into the table.
make_one() {
  local file=$1 member=$2 out=$dir/out/${1##*/} t0 t1 log=$dir/extract.log
  t0=$(now_ms)
  q extract "$file" "$(pattern_of "$member")" -C "$out" >"$log" 2>&1
  local code=$?
  t1=$(now_ms)
  printf '%s\t%s\t%s\t%d\n' "$group" "${file##*/}" "$member" $((t1 - t0)) >>"$dir/times"
  if [[ $code != 0 || ! -f $out/$member ]]; then
    fail "${file##*/}: $member was not made (exit $code): $(cat "$log")"
    return 1
  fi
}

# made FILE MEMBER: the path of the member made, made now if `members` has
# not made it.
made() {
  local path=$dir/out/${1##*/}/$2
  if [[ ! -f $path ]]; then make_one "$1" "$2" || return 1; fi
  printf '%s\n' "$path"
}

# The checks of a made member; each passes or fails once.
check() { # DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then pass; else fail "$what"; fi
}
has() { # FILE TEXT...: the file holds each text
  local file=$1 text
  shift
  for text in "$@"; do
    if grep -qF -- "$text" "$file"; then pass; else fail "${file#"$dir/out/"} lacks \"$text\""; fi
  done
}
same() { # FILE EXPECTED
  if cmp -s "$1" "$2"; then pass; else fail "${1#"$dir/out/"} differs from ${2##*/}"; fi
}
magic() { # FILE HEX OFFSET: bytes at OFFSET (0 by default)
  local got
  got=$(od -An -tx1 -j "${3:-0}" -N $((${#2} / 2)) "$1" | tr -d ' \n')
  if [[ $got == "$2" ]]; then pass; else fail "${1#"$dir/out/"} has $got where $2 belongs"; fi
}
png() { # FILE [WIDTH HEIGHT]
  magic "$1" 89504e470d0a1a0a || return
  [[ $# -gt 1 ]] || return 0
  local size
  size=$(od -An -tu1 -j 16 -N 8 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 "x" $5 * 16777216 + $6 * 65536 + $7 * 256 + $8}')
  if [[ $size == "$2x$3" ]]; then pass; else fail "${1#"$dir/out/"} is $size, not $2x$3"; fi
}
json() { # FILE [PYTHON-EXPRESSION over j]: parses as JSON, and the expression holds
  if python3 -c 'import json, sys; j = json.load(open(sys.argv[1])); assert eval(sys.argv[2]), sys.argv[2]' \
    "$1" "${2:-True}" 2>"$dir/json.err"; then pass; else
    fail "${1#"$dir/out/"}: $(tail -n 1 "$dir/json.err")"
  fi
}

# damaged FILE [MEMBER...]: with members, each of them fails and leaves no
# file; without, the whole file fails: either it cannot be opened (its list
# fails) or every member fails, and nothing is left behind.
damaged() {
  local file=$1 out=$dir/damaged/${1##*/} member
  shift
  if (($# > 0)); then
    for member in "$@"; do
      q extract "$file" "$(pattern_of "$member")" -C "$out" >"$dir/damaged.log" 2>&1
      local code=$?
      if [[ $code != 1 ]] || ! grep -q '^failed' "$dir/damaged.log" || [[ -e $out/$member ]]; then
        fail "damaged ${file##*/}: $member did not fail cleanly (exit $code): $(cat "$dir/damaged.log")"
      else pass; fi
    done
    return
  fi
  q extract "$file" -C "$out" >"$dir/damaged.log" 2>&1
  local code=$? left
  left=$(find "$out" -type f 2>/dev/null)
  if [[ $code != 1 || -n $left ]] || grep -q '^made' "$dir/damaged.log"; then
    fail "damaged ${file##*/}: not every member failed (exit $code${left:+, left $left}): $(cat "$dir/damaged.log")"
  else pass; fi
}

# ---------------------------------------------------------------------------

check_rules() {
  group "check" || return 0
  # A program that is not installed is reported by check with the package to
  # install; a skipped group's are expected, any other problem is a fault.
  q check "$source_dir/examples/quendrix.ini" >"$dir/check.out" 2>&1
  local code=$? problems
  problems=$(grep -v 'no problems$\|problems$\|problem$' "$dir/check.out" |
    grep -v 'could not be started\|no such program' || true)
  if [[ -n $problems ]]; then
    fail "quendrix check examples/quendrix.ini: $(cat "$dir/check.out")"
  elif ((${#skipped_groups[@]} == 0)) && [[ $code != 0 ]]; then
    fail "quendrix check examples/quendrix.ini (every tool installed): $(cat "$dir/check.out")"
  else
    pass
  fi
  grep 'could not be started\|no such program' "$dir/check.out" | sed 's/^/  check: /'
  # Every value stays one readable line: what needs more is a script of
  # examples/recipes/. The longest are named, to see how close they come.
  local long
  long=$(awk '/^[^;[]/ { key = $0; sub(/=.*/, "", key); value = substr($0, length(key) + 2)
    if (length(value) > 200) printf "line %d, %s: %d characters\n", NR, key, length(value) }' \
    "$source_dir/examples/quendrix.ini")
  if [[ -z $long ]]; then pass; else fail "recipe values over 200 characters:"$'\n'"$long"; fi
  awk '/^[^;[]/ { key = $0; sub(/=.*/, "", key); print length($0) - length(key) - 1 "\t" NR "\t" key }' \
    "$source_dir/examples/quendrix.ini" | sort -rn | head -n 3 |
    awk -F'\t' '{ printf "  longest value: %d characters (line %d, %s)\n", $1, $2, $3 }'
}

group_text() {
  group "text (coreutils, gzip, tar)" sort sha256sum gzip tar || return 0
  "$source_dir/examples/make-samples.sh" "$S" || { fail "make-samples.sh"; return; }
  members "$S/fruit.txt" fruit.sorted.txt fruit.unique.txt fruit.txt.sha256 &&
    { local m; m=$(made "$S/fruit.txt" fruit.sorted.txt) && check "fruit sorted" cmp -s "$m" <(sort "$S/fruit.txt"); }
  members "$S/poem.txt.gz" poem.txt poem.txt.gzip-info.txt &&
    { m=$(made "$S/poem.txt.gz" poem.txt) && same "$m" "$S/poem.txt"; }
  members "$S/samples.tar" samples.listing.txt samples.tar.sha256 fruit.txt poem.txt || return
  m=$(made "$S/samples.tar" samples.listing.txt) && has "$m" fruit.txt poem.txt
  m=$(made "$S/samples.tar" poem.txt) && same "$m" "$S/poem.txt"
  [[ $(listed poem.txt size) == $(stat -c %s "$S/poem.txt") ]] && pass || fail "samples.tar: poem.txt's listed size"

  # Entries stored as ./NAME (tar -C DIR .), in folders, with names that
  # look like patterns, gzip-compressed.
  local t=$dir/tree
  mkdir -p "$t/docs/sub dir"
  printf 'alpha\n' >"$t/docs/sub dir/a[1].txt"
  printf 'star\n' >"$t/docs/x*y.txt"
  printf 'plain\n' >"$t/docs/a1.txt"
  touch -d '2021-03-04 05:06:08' "$t/docs/a1.txt"
  tar -C "$t" -czf "$S/tree.tgz" .
  members "$S/tree.tgz" tree.listing.txt tree.tgz.sha256 "docs/sub dir/a[1].txt" docs/x*y.txt docs/a1.txt || return
  m=$(made "$S/tree.tgz" "docs/sub dir/a[1].txt") && same "$m" "$t/docs/sub dir/a[1].txt"
  m=$(made "$S/tree.tgz" "docs/x*y.txt") && same "$m" "$t/docs/x*y.txt"
  [[ $(listed docs/a1.txt fileTime) == $(stat -c %Y "$t/docs/a1.txt") ]] && pass || fail "tree.tgz: docs/a1.txt's listed time"

  # A tar cut inside an entry: its list fails.
  head -c 20000 /dev/urandom >"$t/big.bin"
  tar -C "$t" -cf "$dir/big.tar" big.bin
  cut_to "$dir/big.tar" 50 "$S/damaged.tar"
  damaged "$S/damaged.tar"
}

group_compressed() {
  group "compressed files and tar files (xz-utils, zstd, bzip2, tar)" xz zstd bzip2 tar || return 0
  local m kind
  # One file compressed: its content (and what xz and zstd say of it); cut
  # short, its content fails.
  "$source_dir/examples/make-samples.sh" "$S" >/dev/null || { fail "make-samples.sh"; return; }
  xz -c "$S/poem.txt" >"$S/poem.txt.xz"
  zstd -q -c "$S/poem.txt" >"$S/poem.txt.zst"
  bzip2 -c "$S/poem.txt" >"$S/poem.txt.bz2"
  members "$S/poem.txt.xz" poem.txt poem.txt.xz-info.txt &&
    { m=$(made "$S/poem.txt.xz" poem.txt.xz-info.txt) && has "$m" "Check:"; }
  members "$S/poem.txt.zst" poem.txt poem.txt.zstd-info.txt &&
    { m=$(made "$S/poem.txt.zst" poem.txt.zstd-info.txt) && has "$m" "Decompressed Size:"; }
  members "$S/poem.txt.bz2" poem.txt
  for kind in xz zst bz2; do
    m=$(made "$S/poem.txt.$kind" poem.txt) && same "$m" "$S/poem.txt"
    head -c 20000 /dev/urandom >"$dir/noise"
    case $kind in xz) xz -c "$dir/noise" ;; zst) zstd -q -c "$dir/noise" ;; bz2) bzip2 -c "$dir/noise" ;; esac >"$dir/noise.$kind"
    cut_to "$dir/noise.$kind" 50 "$S/cut.$kind"
    damaged "$S/cut.$kind" cut
  done

  # A tar file with every kind of entry, compressed each way: every file
  # and every link that leads to a file of it is a member, with its size;
  # a link gives the content it leads to.
  local r=$dir/kinds
  mkdir -p "$r/docs/empty"
  printf 'plain\n' >"$r/docs/a1.txt"
  printf 'top\n' >"$r/top.txt"
  ln "$r/docs/a1.txt" "$r/docs/hard.txt"
  ln -s a1.txt "$r/docs/sym.txt"
  ln -s ../top.txt "$r/docs/up.txt"
  ln -s /etc/hostname "$r/out"
  ln -s docs "$r/linkdir"
  mkfifo "$r/fifo"
  tar -C "$r" -cjf "$S/kinds.tbz2" .
  tar -C "$r" -cJf "$S/kinds.txz" .
  tar -C "$r" --zstd -cf "$S/kinds.tzst" .
  for kind in tbz2 txz tzst; do
    lists_tree "$S/kinds.$kind" "$r" kinds.listing.txt "kinds.$kind.sha256" || continue
    m=$(made "$S/kinds.$kind" docs/hard.txt) && same "$m" "$r/docs/a1.txt"
    m=$(made "$S/kinds.$kind" docs/up.txt) && same "$m" "$r/top.txt"
  done
  head -c 30000 /dev/urandom >"$dir/noise.bin"
  tar -C "$dir" -cJf "$dir/big.txz" noise.bin
  cut_to "$dir/big.txz" 50 "$S/damaged.txz"
  damaged "$S/damaged.txz"
}

group_svg() {
  group "SVG (librsvg2-bin)" rsvg-convert gzip || return 0
  local m
  printf '<svg xmlns="http://www.w3.org/2000/svg" width="120" height="80"><rect width="120" height="80" fill="red"/><circle cx="60" cy="40" r="30" fill="blue"/></svg>\n' >"$S/drawing.svg"
  members "$S/drawing.svg" drawing.png drawing.thumbnail.png || return
  m=$(made "$S/drawing.svg" drawing.png) && png "$m" 120 80
  m=$(made "$S/drawing.svg" drawing.thumbnail.png) && png "$m" 256 171
  gzip -c "$S/drawing.svg" >"$S/zipped.svgz"
  members "$S/zipped.svgz" zipped.png zipped.thumbnail.png &&
    { m=$(made "$S/zipped.svgz" zipped.png) && png "$m" 120 80; }
  cut_to "$S/drawing.svg" 50 "$S/damaged.svg"
  damaged "$S/damaged.svg"
}

group_archives() {
  group "archives (p7zip-full)" 7z zip || return 0
  local t=$dir/ziptree m
  mkdir -p "$t/top/sub dir/deeper" "$t/top/empty"
  printf 'deep\n' >"$t/top/sub dir/deeper/d.txt"
  printf 'one\n' >"$t/top/a[1].txt"
  printf 'plain\n' >"$t/top/a1.txt"
  head -c 3000 /dev/urandom >"$t/top/café ü.bin"
  touch -d '2021-03-04 05:06:08' "$t/top/a1.txt"
  (cd "$t" && zip -qr "$S/nested.zip" top && 7z a -bd -bso0 "$S/nested.7z" top) || { fail "making the zip and 7z"; return; }
  local file entry
  for file in "$S/nested.zip" "$S/nested.7z"; do
    members "$file" "top/sub dir/deeper/d.txt" "top/a[1].txt" top/a1.txt "top/café ü.bin" || continue
    [[ $(listed "top/café ü.bin" size) == 3000 ]] && pass || fail "${file##*/}: the listed size"
    [[ $(listed top/a1.txt fileTime) == $(stat -c %Y "$t/top/a1.txt") ]] && pass || fail "${file##*/}: the listed time"
    for entry in "top/sub dir/deeper/d.txt" "top/a[1].txt" top/a1.txt "top/café ü.bin"; do
      m=$(made "$file" "$entry") && same "$m" "$t/$entry"
    done
  done
  # Cut short: the list fails. A flipped byte in an entry's data: that
  # entry fails its checksum.
  cut_to "$S/nested.zip" 60 "$S/damaged.zip"
  damaged "$S/damaged.zip"
  (cd "$t" && zip -q0 "$dir/stored.zip" top/a1.txt)
  cp "$dir/stored.zip" "$S/flipped.zip"
  local at
  at=$(grep -abo 'plain' "$dir/stored.zip" | head -n 1 | cut -d: -f1)
  printf 'X' | dd of="$S/flipped.zip" bs=1 seek="$at" conv=notrunc status=none
  damaged "$S/flipped.zip" top/a1.txt
}

group_deb() {
  group "Debian packages (dpkg)" dpkg-deb tar || return 0
  local p=$dir/pkg m
  mkdir -p "$p/DEBIAN" "$p/usr/share/demo/a b" "$p/usr/share/doc/demo"
  printf 'Package: demo\nVersion: 1.0\nArchitecture: all\nMaintainer: T <t@example.org>\nDescription: a demo\n' >"$p/DEBIAN/control"
  printf 'hello deb\n' >"$p/usr/share/demo/a b/file one.txt"
  printf 'doc\n' >"$p/usr/share/doc/demo/README"
  # A link within the package is a member with the content it leads to;
  # one that leads out of the package is none.
  ln -s "a b/file one.txt" "$p/usr/share/demo/link"
  ln -s /etc/hostname "$p/usr/share/demo/outside"
  dpkg-deb --root-owner-group -Zgzip --build "$p" "$S/demo.deb" >/dev/null || { fail "dpkg-deb --build"; return; }
  members "$S/demo.deb" demo.control.txt demo.files.txt "usr/share/demo/a b/file one.txt" \
    usr/share/demo/link usr/share/doc/demo/README || return
  m=$(made "$S/demo.deb" demo.control.txt) && has "$m" "Package: demo"
  m=$(made "$S/demo.deb" demo.files.txt) && has "$m" "./usr/share/demo/a b/file one.txt"
  m=$(made "$S/demo.deb" "usr/share/demo/a b/file one.txt") && same "$m" "$p/usr/share/demo/a b/file one.txt"
  m=$(made "$S/demo.deb" usr/share/demo/link) && same "$m" "$p/usr/share/demo/a b/file one.txt"
  m=$(made "$S/demo.deb" usr/share/doc/demo/README) && same "$m" "$p/usr/share/doc/demo/README"
  cut_to "$S/demo.deb" 50 "$S/damaged.deb"
  damaged "$S/damaged.deb"
}

group_pdf() {
  group "PDF (poppler-utils; samples: groff, libtiff-tools, imagemagick)" \
    pdftotext pdfinfo pdffonts pdftoppm pdfimages pdfunite groff tiff2pdf convert || return 0
  local m
  printf '.ps 14\nAlpha apricot words on page one.\n.bp\nBravo blueberry words on page two.\n' |
    groff -Tpdf >"$dir/text.pdf"
  convert -size 40x30 gradient:red-blue -depth 8 "$dir/picture.tiff"
  tiff2pdf -o "$dir/picture.pdf" "$dir/picture.tiff"
  pdfunite "$dir/text.pdf" "$dir/picture.pdf" "$S/three pages.pdf" || { fail "making the PDF"; return; }
  members "$S/three pages.pdf" "three pages.txt" "three pages.info.txt" "three pages.fonts.txt" \
    page-001.png page-002.png page-003.png images/page-003-image-000.png || return
  m=$(made "$S/three pages.pdf" "three pages.txt") && has "$m" "Alpha apricot" "Bravo blueberry"
  m=$(made "$S/three pages.pdf" "three pages.info.txt") && check "three pages.info.txt says Pages: 3" grep -Eq '^Pages: +3$' "$m"
  m=$(made "$S/three pages.pdf" "three pages.fonts.txt") && has "$m" "Times-Roman"
  local page
  for page in 1 2 3; do
    m=$(made "$S/three pages.pdf" "page-00$page.png") && png "$m"
  done
  check "page 1 and page 2 differ" bash -c '! cmp -s "$1/page-001.png" "$1/page-002.png"' _ "$dir/out/three pages.pdf"
  m=$(made "$S/three pages.pdf" images/page-003-image-000.png) && png "$m" 40 30
  cut_to "$S/three pages.pdf" 50 "$S/damaged.pdf"
  damaged "$S/damaged.pdf"
}

group_images() {
  group "images (imagemagick, libimage-exiftool-perl)" convert exiftool || return 0
  local m
  # 320x240, taken with the camera turned: upright it is 240x320.
  convert -size 320x240 gradient:navy-gold -quality 85 "$S/photo.jpg"
  exiftool -q -overwrite_original -Artist='Ada Tester' -DateTimeOriginal='2024:05:06 07:08:09' \
    -Orientation#=6 "$S/photo.jpg"
  members "$S/photo.jpg" photo.thumbnail.png photo.png photo.webp photo.metadata.txt photo.metadata.json &&
  {
    m=$(made "$S/photo.jpg" photo.thumbnail.png) && png "$m" 192 256
    m=$(made "$S/photo.jpg" photo.png) && png "$m" 240 320
    m=$(made "$S/photo.jpg" photo.webp) && magic "$m" 57454250 8
    m=$(made "$S/photo.jpg" photo.metadata.txt) && has "$m" "Ada Tester" "2024:05:06 07:08:09"
    m=$(made "$S/photo.jpg" photo.metadata.json) && json "$m" 'j[0]["EXIF:Artist"] == "Ada Tester"'
  }
  # A PNG with transparent parts, and the same picture as WebP and TIFF.
  convert -size 200x100 xc:none -fill red -draw 'circle 50,50 50,10' "$S/dot.png"
  convert "$S/dot.png" "$S/dot.webp"
  convert "$S/dot.png" "$S/dot.tiff"
  members "$S/dot.png" dot.thumbnail.png dot.jpg dot.webp dot.metadata.txt dot.metadata.json &&
  {
    m=$(made "$S/dot.png" dot.jpg) && magic "$m" ffd8ff
    m=$(made "$S/dot.png" dot.webp) && magic "$m" 57454250 8
  }
  local kind
  for kind in webp tiff; do
    members "$S/dot.$kind" dot.thumbnail.png dot.png dot.jpg dot.metadata.txt dot.metadata.json || continue
    m=$(made "$S/dot.$kind" dot.png) && png "$m" 200 100
    m=$(made "$S/dot.$kind" dot.jpg) && magic "$m" ffd8ff
    m=$(made "$S/dot.$kind" dot.metadata.json) && json "$m" 'j[0]["Composite:ImageSize"] == "200x100"'
  done
  # HEIC where ImageMagick writes it (libheif with an encoder).
  if convert "$S/photo.jpg" "heic:$S/photo.heic" 2>/dev/null && [[ -s $S/photo.heic ]]; then
    members "$S/photo.heic" photo.thumbnail.png photo.png photo.jpg photo.metadata.txt photo.metadata.json &&
      { m=$(made "$S/photo.heic" photo.png) && png "$m"; }
  else
    echo "  (HEIC: this ImageMagick cannot write a sample; its recipe is the WebP one)"
  fi
  # A JPEG cut in half: ImageMagick takes the warning as an error (its
  # metadata is whole and still made); a file that is no image fails all.
  cut_to "$S/photo.jpg" 50 "$S/cut.jpg"
  damaged "$S/cut.jpg" cut.thumbnail.png cut.png cut.webp
  head -c 2000 /dev/urandom >"$S/noise.jpg"
  damaged "$S/noise.jpg"
}

group_audio() {
  group "audio (ffmpeg)" ffmpeg ffprobe || return 0
  local m
  ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=1" -metadata title="Test Tone" \
    -metadata artist="Quendrix" -c:a libmp3lame -q:a 5 "$S/tone.mp3" || { fail "making the MP3"; return; }
  members "$S/tone.mp3" tone.info.txt tone.wav tone.spectrogram.png || return
  m=$(made "$S/tone.mp3" tone.info.txt) && has "$m" "TAG:title=Test Tone" "TAG:artist=Quendrix"
  m=$(made "$S/tone.mp3" tone.wav) && magic "$m" 52494646 && magic "$m" 57415645 8 &&
    check "tone.wav lasts about a second" bash -c \
      'd=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"); [[ $d == 1.0* || $d == 1.1* ]]' _ "$m"
  m=$(made "$S/tone.mp3" tone.spectrogram.png) && png "$m"
  ffmpeg -nostdin -v error -i "$S/tone.mp3" "$S/tone.wav"
  members "$S/tone.wav" tone.info.txt tone.flac tone.spectrogram.png &&
    { m=$(made "$S/tone.wav" tone.flac) && magic "$m" 664c6143; }
  head -c 200 "$S/tone.mp3" >"$S/damaged.mp3"
  damaged "$S/damaged.mp3"
}

group_video() {
  group "video (ffmpeg)" ffmpeg ffprobe || return 0
  local m
  ffmpeg -nostdin -v error -f lavfi -i "testsrc=duration=2:size=160x120:rate=10" \
    -f lavfi -i "sine=frequency=660:duration=2" -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest \
    "$S/clip.mp4" || { fail "making the MP4"; return; }
  members "$S/clip.mp4" clip.info.json clip.audio.mka clip.frame.png clip.preview.gif || return
  m=$(made "$S/clip.mp4" clip.info.json) &&
    json "$m" 'sorted(s["codec_type"] for s in j["streams"]) == ["audio", "video"]'
  m=$(made "$S/clip.mp4" clip.audio.mka) && magic "$m" 1a45dfa3 &&
    check "clip.audio.mka holds one AAC stream" bash -c \
      '[[ $(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$1") == aac ]]' _ "$m"
  m=$(made "$S/clip.mp4" clip.frame.png) && png "$m" 160 120
  m=$(made "$S/clip.mp4" clip.preview.gif) && magic "$m" 474946383961
  # A video without sound has no audio track to give.
  ffmpeg -nostdin -v error -f lavfi -i "testsrc=duration=1:size=64x48:rate=5" -c:v libx264 \
    -pix_fmt yuv420p "$S/silent.mp4"
  damaged "$S/silent.mp4" silent.audio.mka
  cut_to "$S/clip.mp4" 50 "$S/damaged.mp4"
  damaged "$S/damaged.mp4"
}

group_documents() {
  group "documents (pandoc, groff)" pandoc groff || return 0
  local m kind
  printf '# Recipe Title\n\nSome *emphasis* and a table.\n\n| fruit | count |\n|---|---|\n| apple | 3 |\n' >"$S/notes.md"
  printf '<html><head><title>Page</title></head><body><h1>Heading Here</h1><p>Paragraph text.</p></body></html>\n' >"$S/page.html"
  for kind in docx odt epub; do
    pandoc -f markdown -M title=Notes "$S/notes.md" -o "$S/notes.$kind" || fail "making notes.$kind"
  done
  members "$S/notes.md" notes.html notes.txt notes.pdf &&
  {
    m=$(made "$S/notes.md" notes.html) && has "$m" "<h1" "Recipe Title"
    m=$(made "$S/notes.md" notes.txt) && has "$m" "Recipe Title" "apple"
    m=$(made "$S/notes.md" notes.pdf) && magic "$m" 255044462d &&
      if command -v pdftotext >/dev/null; then has <(pdftotext "$m" -) "Recipe Title"; fi
  }
  # The three kinds share their commands: each is read, and the docx is
  # made into all.
  for kind in docx odt epub; do
    members "$S/notes.$kind" notes.txt notes.md notes.html notes.pdf || continue
    m=$(made "$S/notes.$kind" notes.txt) && has "$m" "Recipe Title" "emphasis"
    m=$(made "$S/notes.$kind" notes.md) && has "$m" "Recipe Title"
  done
  m=$(made "$S/notes.docx" notes.html) && has "$m" "Recipe Title"
  m=$(made "$S/notes.docx" notes.pdf) && magic "$m" 255044462d
  members "$S/page.html" page.txt page.md page.pdf &&
  {
    m=$(made "$S/page.html" page.md) && has "$m" "Heading Here"
    m=$(made "$S/page.html" page.pdf) && magic "$m" 255044462d
  }
  cut_to "$S/notes.docx" 50 "$S/damaged.docx"
  damaged "$S/damaged.docx"
  : >"$S/empty.md"
  damaged "$S/empty.md" empty.txt
}

group_sqlite() {
  group "SQLite (sqlite3)" sqlite3 || return 0
  local m
  sqlite3 "$S/shop.sqlite" "CREATE TABLE fruit(name TEXT, qty INT);
    INSERT INTO fruit VALUES ('apple', 3), ('pear, green', 5), ('quote \"q\"', 7);
    CREATE TABLE \"odd 'name'\"(a);
    INSERT INTO \"odd 'name'\" VALUES (1), (2);" || { fail "making the database"; return; }
  members "$S/shop.sqlite" shop.schema.sql shop.dump.sql tables/fruit.csv "tables/odd 'name'.csv" || return
  m=$(made "$S/shop.sqlite" shop.schema.sql) && has "$m" "CREATE TABLE fruit"
  m=$(made "$S/shop.sqlite" shop.dump.sql) && has "$m" "INSERT INTO fruit VALUES('pear, green',5);"
  m=$(made "$S/shop.sqlite" tables/fruit.csv) &&
    check "tables/fruit.csv holds the header and the three rows" python3 -c 'import csv, sys
assert list(csv.reader(open(sys.argv[1], newline=""))) == [["name", "qty"], ["apple", "3"], ["pear, green", "5"], ["quote \"q\"", "7"]]' "$m"
  m=$(made "$S/shop.sqlite" "tables/odd 'name'.csv") &&
    check "the table with quotes in its name" python3 -c 'import csv, sys
assert list(csv.reader(open(sys.argv[1], newline=""))) == [["a"], ["1"], ["2"]]' "$m"
  # An empty database opens, with no tables to list.
  sqlite3 "$S/empty.sqlite" "CREATE TABLE t(a); DROP TABLE t;"
  lists "$S/empty.sqlite" empty.schema.sql empty.dump.sql &&
    { m=$(made "$S/empty.sqlite" empty.dump.sql) && has "$m" "COMMIT;"; }
  # It has no schema to show: that member fails rather than be empty.
  damaged "$S/empty.sqlite" empty.schema.sql
  head -c 3000 /dev/urandom >"$S/noise.sqlite"
  damaged "$S/noise.sqlite"
}

group_data() {
  group "JSON, YAML, CSV (jq, yq, python3)" jq yq python3 || return 0
  local m
  printf '{"b": 1, "a": {"list": [1, 2, "three"]}, "text": "caf\\u00e9"}\n' >"$S/data.json"
  members "$S/data.json" data.pretty.json data.compact.json data.sorted.json data.yaml &&
  {
    m=$(made "$S/data.json" data.pretty.json) && json "$m" 'j == json.load(open(sys.argv[1].replace(".pretty", "").replace("/out/data.json/", "/samples/")))'
    m=$(made "$S/data.json" data.compact.json) && check "compact JSON is one line" bash -c '[[ $(wc -l <"$1") == 1 ]]' _ "$m" && json "$m"
    m=$(made "$S/data.json" data.sorted.json) && json "$m" 'list(j) == ["a", "b", "text"]'
    m=$(made "$S/data.json" data.yaml) && has "$m" "- three"
  }
  printf 'name: demo\nitems:\n  - a: 1\n  - b: [x, y]\n' >"$S/conf.yaml"
  members "$S/conf.yaml" conf.json conf.compact.json conf.normal.yaml &&
  {
    m=$(made "$S/conf.yaml" conf.json) && json "$m" 'j == {"name": "demo", "items": [{"a": 1}, {"b": ["x", "y"]}]}'
    m=$(made "$S/conf.yaml" conf.compact.json) && json "$m"
    m=$(made "$S/conf.yaml" conf.normal.yaml) && has "$m" "name: demo"
  }
  printf 'name,qty,note\r\napple,3,"red, round"\r\npear,5,\r\n' >"$S/stock.csv"
  members "$S/stock.csv" stock.json stock.md &&
  {
    m=$(made "$S/stock.csv" stock.json) &&
      json "$m" 'j == [{"name": "apple", "qty": "3", "note": "red, round"}, {"name": "pear", "qty": "5", "note": ""}]'
    m=$(made "$S/stock.csv" stock.md) && has "$m" "| apple | 3 | red, round |"
  }
  printf '{"a": [1, 2' >"$S/cut.json"
  damaged "$S/cut.json"
  : >"$S/empty.json"
  damaged "$S/empty.json"
  printf 'a: [1, 2\nb: :\n' >"$S/broken.yaml"
  damaged "$S/broken.yaml"
  # Trailing empty fields left out: the row's last fields are empty.
  printf 'name,qty,note,extra\napple,3\npear\n' >"$S/short.csv"
  members "$S/short.csv" short.json short.md &&
  {
    m=$(made "$S/short.csv" short.json) && json "$m" 'j == [{"name": "apple", "qty": "3", "note": "", "extra": ""}, {"name": "pear", "qty": "", "note": "", "extra": ""}]'
    m=$(made "$S/short.csv" short.md) && has "$m" "| pear |  |  |  |"
  }
  printf 'a,b\n1,2,3\n' >"$S/ragged.csv"
  damaged "$S/ragged.csv"
  printf 'a,b\n1,"open\n' >"$S/open.csv"
  damaged "$S/open.csv"
}

group_certificates() {
  group "certificates and keys (openssl)" openssl || return 0
  local m
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$S/site.key" \
    -out "$S/site.crt" -subj "/CN=quendrix test/O=Recipes" -days 30 2>/dev/null || { fail "making the certificate"; return; }
  openssl x509 -in "$S/site.crt" -outform DER -out "$S/site.der"
  members "$S/site.crt" site.txt site.sha256.txt site.pem site.der || return
  m=$(made "$S/site.crt" site.txt) && has "$m" "Subject: CN = quendrix test, O = Recipes"
  local fingerprint
  fingerprint=$(sha256sum "$S/site.der" | cut -c1-64 | tr a-f A-F | sed 's/../&:/g; s/:$//')
  m=$(made "$S/site.crt" site.sha256.txt) && has "$m" "$fingerprint"
  m=$(made "$S/site.crt" site.der) && same "$m" "$S/site.der"
  m=$(made "$S/site.crt" site.pem) && has "$m" "-----BEGIN CERTIFICATE-----"
  members "$S/site.der" site.txt site.sha256.txt site.pem site.der &&
    { m=$(made "$S/site.der" site.pem) && same "$m" "$dir/out/site.crt/site.pem"; }
  members "$S/site.key" site.public.txt site.public.pem &&
  {
    m=$(made "$S/site.key" site.public.pem) && has "$m" "-----BEGIN PUBLIC KEY-----" &&
      check "the public key is the certificate's" bash -c \
        'cmp -s "$1" <(openssl x509 -in "$2" -noout -pubkey)' _ "$m" "$S/site.crt"
    m=$(made "$S/site.key" site.public.txt) && check "no private numbers in site.public.txt" bash -c '! grep -q "^priv:" "$1"' _ "$m"
  }
  # A program that is not installed is named with its package (on a copy,
  # whose members are in no cache).
  cp "$S/site.crt" "$dir/nopath.crt"
  PATH=/nonexistent q extract "$dir/nopath.crt" nopath.txt -C "$dir/nopath" >"$dir/nopath.log" 2>&1
  has "$dir/nopath.log" "openssl could not be started" "(it comes with the package openssl)"
  openssl pkey -in "$S/site.key" -aes256 -passout pass:secret -out "$S/locked.key"
  damaged "$S/locked.key"
  cut_to "$S/site.crt" 50 "$S/cut.crt"
  damaged "$S/cut.crt"
}

group_elf() {
  group "ELF (binutils; samples: g++)" objdump g++ || return 0
  local m
  # Compiled once, without headers, and linked to libm so that it needs it.
  printf 'namespace shop { double price(double x) { return x * 2; } }\n' >"$dir/shop.cpp"
  g++ -c -fPIC -o "$S/shop.o" "$dir/shop.cpp" &&
    g++ -shared -o "$S/libshop.so" "$S/shop.o" -Wl,--no-as-needed -lm || { fail "compiling the samples"; return; }
  members "$S/libshop.so" libshop.headers.txt libshop.sections.txt libshop.needed.txt libshop.symbols.txt || return
  m=$(made "$S/libshop.so" libshop.headers.txt) && has "$m" "elf64-" "Dynamic Section:"
  m=$(made "$S/libshop.so" libshop.sections.txt) && has "$m" ".text" ".dynsym"
  m=$(made "$S/libshop.so" libshop.needed.txt) && has "$m" "libm.so.6"
  m=$(made "$S/libshop.so" libshop.symbols.txt) && has "$m" "shop::price(double)"
  members "$S/shop.o" shop.headers.txt shop.sections.txt shop.needed.txt shop.symbols.txt &&
  {
    m=$(made "$S/shop.o" shop.needed.txt) && has "$m" "(no needed libraries)"
    m=$(made "$S/shop.o" shop.symbols.txt) && has "$m" "shop::price(double)"
  }
  cut_to "$S/libshop.so" 50 "$S/damaged.so"
  damaged "$S/damaged.so"
}

group_fonts() {
  group "fonts (imagemagick, fontconfig)" convert fc-scan fc-match || return 0
  local font m
  font=$(fc-match -f '%{file}' 'DejaVu Sans')
  if [[ $font != *.ttf || ! -f $font ]]; then
    echo "SKIPPED group fonts: no TrueType font to sample (fonts-dejavu-core brings one)"
    skipped_groups+=("fonts (no .ttf font)")
    return 0
  fi
  cp "$font" "$S/sample.ttf"
  members "$S/sample.ttf" sample.sample.png sample.info.txt || return
  m=$(made "$S/sample.ttf" sample.sample.png) && png "$m"
  m=$(made "$S/sample.ttf" sample.info.txt) && has "$m" "family:"
  cut_to "$S/sample.ttf" 5 "$S/damaged.ttf"
  damaged "$S/damaged.ttf"
}

group_mail() {
  group "mail (python3)" python3 base64 || return 0
  local m
  printf 'hello attachment one\n' >"$dir/notes one.txt"
  head -c 3000 /dev/urandom >"$dir/data.bin"
  mail() { # the mail, with its second attachment's encoded lines
    printf 'From: Ada <ada@example.org>\r\nTo: Bob <bob@example.org>\r\nSubject: Two files\r\n'
    printf 'MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary="B"\r\n\r\n'
    printf -- '--B\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nThe body text of the mail.\r\n'
    printf -- '--B\r\nContent-Type: text/plain; name="notes one.txt"\r\n'
    printf 'Content-Disposition: attachment; filename="notes one.txt"\r\nContent-Transfer-Encoding: base64\r\n\r\n'
    base64 "$dir/notes one.txt" | sed 's/$/\r/'
    printf -- '--B\r\nContent-Type: application/octet-stream\r\n'
    printf "Content-Disposition: attachment; filename*=utf-8''data%%20%%C3%%A9.bin\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    base64 "$dir/data.bin" | sed 's/$/\r/'
    printf -- '--B--\r\n'
  }
  mail >"$S/letter.eml"
  members "$S/letter.eml" letter.headers.txt body.txt "attachments/notes one.txt" "attachments/data é.bin" || return
  m=$(made "$S/letter.eml" letter.headers.txt) && has "$m" "Subject: Two files"
  m=$(made "$S/letter.eml" body.txt) && has "$m" "The body text of the mail."
  m=$(made "$S/letter.eml" "attachments/notes one.txt") && same "$m" "$dir/notes one.txt"
  m=$(made "$S/letter.eml" "attachments/data é.bin") && same "$m" "$dir/data.bin"
  # The longest command of the recipes, with a path of 180 characters: every
  # step of expansion must still hold all of it.
  local long=$dir/long/$(printf 'folder%.0s' {1..20})/$(printf 'x%.0s' {1..40})
  mkdir -p "$long"
  cp "$S/letter.eml" "$long/letter.eml"
  m=$(made "$long/letter.eml" "attachments/data é.bin") && same "$m" "$dir/data.bin"
  # Cut in the middle of the second attachment: it fails, the first is whole.
  cut_to "$S/letter.eml" 70 "$S/cut.eml"
  damaged "$S/cut.eml" "attachments/data é.bin"
  head -c 2000 /dev/urandom | tr -d '\n:' >"$S/noise.eml"
  damaged "$S/noise.eml"
}

# Real files of this system, where it has them: a PDF of its
# documentation, a package of apt's cache with links, a versioned shared
# library (copied under a name that ends in .so), Debian's own CSV files.
group_real() {
  group "real files of this system" pdfinfo dpkg-deb objdump python3 || return 0
  local file m name pages
  for file in /usr/share/doc/*/*.pdf; do
    [[ -f $file ]] || { echo "  (no PDF under /usr/share/doc)"; break; }
    echo "  $file"
    cp "$file" "$S/real.pdf"
    pages=$(pdfinfo "$file" | sed -n 's/^Pages: *//p')
    q list --json "$S/real.pdf" >"$dir/list.json" 2>"$dir/list.err" || { fail "real.pdf: $(cat "$dir/list.err")"; break; }
    [[ $(grep -c '"name": *"page-[0-9]*\.png"' "$dir/list.json") == "$pages" ]] && pass || fail "real.pdf: not $pages pages"
    m=$(made "$S/real.pdf" real.txt) && check "real.pdf has text" test -s "$m"
    m=$(made "$S/real.pdf" "$(printf 'page-%03d.png' "$pages")") && png "$m"
    break
  done
  local deb
  for deb in /var/cache/apt/archives/*.deb; do
    [[ -f $deb && $(stat -c %s "$deb") -lt 3000000 ]] || continue
    dpkg-deb -c "$deb" 2>/dev/null | grep -q '^l' || continue
    echo "  $deb"
    cp "$deb" "$S/real.deb"
    rm -rf "$dir/real" && mkdir "$dir/real" && dpkg-deb -x "$deb" "$dir/real"
    lists_tree "$S/real.deb" "$dir/real" real.control.txt real.files.txt || break
    name=$(grep -v '/	' "$dir/tree.expected" | while IFS=$'\t' read -r name _; do
      [[ -L $dir/real/$name && $(readlink -f "$dir/real/$name") == "$dir/real/"* ]] && { echo "$name"; break; }; done)
    [[ -n $name ]] && { m=$(made "$S/real.deb" "$name") && same "$m" "$(readlink -f "$dir/real/$name")"; }
    break
  done
  for file in /usr/lib/x86_64-linux-gnu/libz.so.1.* /lib/x86_64-linux-gnu/libz.so.1.*; do
    [[ -f $file ]] || continue
    echo "  $file"
    cp "$file" "$S/libz.so"
    members "$S/libz.so" libz.headers.txt libz.sections.txt libz.needed.txt libz.symbols.txt || break
    m=$(made "$S/libz.so" libz.needed.txt) && has "$m" "libc.so.6"
    m=$(made "$S/libz.so" libz.symbols.txt) && has "$m" "inflate"
    break
  done
  for file in /usr/share/distro-info/*.csv; do
    [[ -f $file ]] || { echo "  (no distro-info CSV: distro-info-data brings them)"; break; }
    echo "  $file"
    name=${file##*/}
    cp "$file" "$S/$name"
    members "$S/$name" "${name%.csv}.json" "${name%.csv}.md" || continue
    # Every row, those with trailing fields left out too.
    m=$(made "$S/$name" "${name%.csv}.json") && json "$m" "len(j) == $(($(grep -c . "$file") - 1))"
  done
}

# Each group with the time it took in all, its samples made included.
timed_group() {
  local t0
  t0=$(now_ms)
  "$1"
  [[ -z $group ]] || echo "    ($(($(now_ms) - t0)) ms)"
  group=""
}
began=$(now_ms)
for each in text compressed archives deb pdf images svg audio video documents sqlite data certificates elf fonts mail real; do
  timed_group "group_$each"
done
check_rules

echo
echo "The time each member took (one quendrix extract each, the file's list program included; (list) is a quendrix list of the file):"
awk -F'\t' '{ printf "  %-34s %-26s %-38s %6d ms\n", $1, $2, $3, $4 }' "$dir/times"
echo "in all $(($(now_ms) - began)) ms"
finish recipes
