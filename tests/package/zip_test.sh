#!/usr/bin/env bash
# The Windows zip as a file manager that installs plug-ins from zips reads
# it: pluginst.inf at the root with its keys, and the files it names beside
# it; the one folder is docs/, the documents the README links to, which such
# a file manager copies along with the rest of the zip into the plug-in's
# folder.
#   zip_test.sh build/package/quendrix-VERSION-windows.zip
source "$(dirname "$0")/unpacked_zip.sh"
listed=$(cd "$dir/unpacked" && find . -mindepth 1 | sed 's|^\./||' | sort)
expected=$( (printf '%s\n' README.md pluginst.inf quendrix.exe quendrix.ini \
  quendrix.wcx quendrix.wcx64 docs
  cd "$sources" && ls docs/*.md) | sort)
[[ $listed == "$expected" ]] ||
  fail "the zip holds"$'\n'"$listed"$'\n'"instead of"$'\n'"$expected"

readme_links_lead_to_files "$dir/unpacked"

inf=$dir/unpacked/pluginst.inf
# The file manager reads it as an INI file; line ends may be CR LF.
value() { tr -d '\r' <"$inf" | sed -n "s/^$1=//p"; }
[[ -f $inf ]] && [[ $(tr -d '\r' <"$inf" | head -n 1) == "[plugininstall]" ]] ||
  fail "pluginst.inf does not start with [plugininstall]"
[[ -n $(value description) ]] || fail "pluginst.inf has no description"
for pair in type=wcx file=quendrix.wcx defaultdir=quendrix; do
  [[ $(value "${pair%%=*}") == "${pair#*=}" ]] || fail "pluginst.inf lacks $pair"
done
# The extension offered is one the sample rules serve.
extension=$(value defaultextension)
[[ -n $extension ]] && tr -d '\r' <"$dir/unpacked/quendrix.ini" | grep -qx "\[$extension\]" ||
  fail "defaultextension '$extension' has no section in the sample quendrix.ini"

# A 32-bit file manager loads quendrix.wcx, a 64-bit one quendrix.wcx64
# from the same folder: both are there as their kinds of DLL.
machine() { od -An -tx1 -j "$(($(od -An -tu4 -j 60 -N 4 "$1") + 4))" -N 2 "$1" | tr -d ' '; }
[[ $(machine "$dir/unpacked/quendrix.wcx") == 4c01 ]] || fail "quendrix.wcx is not a 32-bit x86 DLL"
[[ $(machine "$dir/unpacked/quendrix.wcx64") == 6486 ]] || fail "quendrix.wcx64 is not an x64 DLL"

if ((failures)); then exit 1; fi
echo "zip_test: $zip has pluginst.inf and its files at its root, and docs/"
