#!/usr/bin/env bash
# The portable Linux zip as a user meets it: one folder, unpacked anywhere,
# with the plug-in, the host, the sample rules, the recipes' scripts in
# recipes/ (each executable, the same as examples/recipes/), the samples,
# mc/, the README and docs/; and the host of the folder using the plug-in
# beside it, whose recipes find their scripts by their bare names there.
#   linux_zip_test.sh build/package/quendrix-VERSION-linux-x86_64.zip
source "$(dirname "$0")/unpacked_zip.sh"
folders=("$dir"/unpacked/*)
[[ ${#folders[@]} == 1 && -d ${folders[0]} ]] || { echo "FAILED: the zip holds more than one folder"; exit 1; }
# Anywhere: under a name with a blank.
mv "${folders[0]}" "$dir/my tools"
top="$dir/my tools"
for file in quendrix.wcx quendrix quendrix.ini README.md copyright mc/uquendrix mc/mc.ext.ini \
  samples/fruit.txt docs/recipes.md; do
  [[ -f $top/$file ]] || fail "the folder lacks $file"
done
[[ -x $top/quendrix ]] || fail "quendrix is not executable"
readme_links_lead_to_files "$top"
cmp -s "$top/quendrix.ini" "$sources/examples/quendrix.ini" || fail "quendrix.ini is not examples/quendrix.ini"

# The recipes' scripts: every one of the sources, executable, as it is.
shipped=$(find "$top/recipes" -mindepth 1 -printf "%f\n" 2>/dev/null | sort)
expected=$(find "$sources/examples/recipes" -mindepth 1 -printf "%f\n" | sort)
[[ -n $expected && $shipped == "$expected" ]] ||
  fail "recipes/ holds"$'\n'"$shipped"$'\n'"instead of"$'\n'"$expected"
for script in "$sources"/examples/recipes/*; do
  name=${script##*/}
  [[ -x $top/recipes/$name ]] || fail "recipes/$name is not executable"
  cmp -s "$script" "$top/recipes/$name" || fail "recipes/$name differs from examples/recipes/$name"
done

# The folder's host takes the plug-in beside it, and its rules beside that;
# nothing of whoever runs the test is read.
export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config XDG_CACHE_HOME=$dir/home/.cache
unset QUENDRIX QUENDRIX_PLUGIN
mkdir -p "$HOME" "$dir/work" "$dir/out"
printf 'one\n' >"$dir/work/one.txt"
tar -C "$dir/work" -cf "$dir/work/pack.tar" one.txt
"$top/quendrix" explain "$dir/work/pack.tar" >"$dir/explain" 2>&1
grep -qF "program   $top/recipes/tar-entries (in the plug-in's recipes folder)" "$dir/explain" ||
  fail "explain does not run tar-entries from the folder's recipes/: $(cat "$dir/explain")"
"$top/quendrix" extract "$dir/work/pack.tar" one.txt -C "$dir/out" >"$dir/extract" 2>&1 ||
  fail "extract one.txt from pack.tar: $(cat "$dir/extract")"
cmp -s "$dir/out/one.txt" "$dir/work/one.txt" || fail "pack.tar's one.txt is not the file packed"
# check finds every script; a program this machine lacks may be reported,
# never one of the scripts.
"$top/quendrix" check >"$dir/check" 2>&1
for script in "$sources"/examples/recipes/*; do
  grep -q "program ${script##*/}[ ,]" "$dir/check" && fail "check misses ${script##*/}: $(cat "$dir/check")"
done

if ((failures)); then exit 1; fi
echo "linux_zip_test: $(basename "$zip") is one folder whose host, plug-in and recipes' scripts work where it is unpacked"
