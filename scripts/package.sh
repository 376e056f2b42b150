#!/usr/bin/env bash
# Builds the release packages into build/package/:
#   quendrix-VERSION-linux-x86_64.zip  the Linux plug-in, the host, the rules
#   quendrix_VERSION_amd64.deb         the same as a Debian package
#   quendrix-VERSION-windows.zip       quendrix.wcx (32-bit) and
#                                      quendrix.wcx64 with quendrix.exe (64-bit)
# The Linux zip holds one folder that is installed by copying it. The
# Windows zip holds its files at its root, beside pluginst.inf, so that a
# file manager that opens it offers to install the plug-in. The Windows DLLs
# come from two build trees, so that zip is put together here from
# `cmake --install` of both.
#
# QUENDRIX_BUILD_PREFIX (default "build/") is put in front of the preset
# names to give the build directories.
#
# With --built the build trees are taken as they are, configured and built
# (scripts/test.sh packs while their tests still run, which a new configure
# would disturb); only what the packages need beyond a build of everything
# is made.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${QUENDRIX_BUILD_PREFIX:-build/}
out=build/package
mkdir -p "$out"
configure=yes
[[ ${1:-} == --built ]] && configure=""

for preset in linux win64 win32; do
  echo "=== $preset: configure and build"
  [[ -z $configure ]] || cmake --preset "$preset" -B "$prefix$preset" >/dev/null
  targets=(quendrix_plugin)
  [[ $preset != win32 ]] && targets+=(quendrix)
  [[ $preset == linux ]] && targets+=(quendrix_debian_files)
  cmake --build "$prefix$preset" --target "${targets[@]}"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "${prefix}linux/CMakeCache.txt")

echo "=== Linux packages"
rm -f "${prefix}linux"/package/quendrix*.{zip,deb}
(cd "${prefix}linux" && cpack -G ZIP -B "$PWD/package" >/dev/null &&
  cpack -G DEB -B "$PWD/package" >/dev/null)
cp "${prefix}linux"/package/quendrix-"$version"-linux-*.zip \
   "${prefix}linux"/package/quendrix_"$version"_*.deb "$out/"

echo "=== Windows package"
name=quendrix-$version-windows
stage=$out/stage/$name
rm -rf "$out/stage"
for preset in win32 win64; do
  cmake --install "$prefix$preset" --prefix "$stage" --strip >/dev/null
done
rm -f "$out/$name.zip"
(cd "$stage" && cmake -E tar cf "../../$name.zip" --format=zip -- *)
rm -rf "$out/stage"

ls -l "$out"/*.zip "$out"/*.deb
