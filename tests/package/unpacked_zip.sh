# shellcheck shell=bash
# Sourced by the tests of the zips (zip_test.sh, linux_zip_test.sh): the
# zip named first on the command line unpacked into $dir/unpacked, a way to
# count failures, and the check that the README's links lead into the zip.
set -uo pipefail
zip=$1
sources=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

unzip -q "$zip" -d "$dir/unpacked" || { echo "FAILED: cannot unpack $zip"; exit 1; }

# readme_links_lead_to_files FOLDER: the README's links into docs/ lead to
# files beside it.
readme_links_lead_to_files() {
  local link
  while read -r link; do
    [[ -f $1/$link ]] || fail "the README's link $link leads to no file of the zip"
  done < <(grep -o '](docs/[^)#]*' "$1/README.md" 2>/dev/null | sed 's/^](//' | sort -u)
}
