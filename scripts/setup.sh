#!/usr/bin/env bash
# Installs what building and testing quendrix needs on Debian 12, and nothing
# that is already there; safe to run any number of times.
set -euo pipefail

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi

# The 32-bit Wine (wine32:i386) comes from Debian's i386 architecture, which
# apt must know before it looks for the packages.
updated=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture for the 32-bit Wine"
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  updated=yes
fi

packages=(
  cmake ninja-build g++ make binutils
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 wine32:i386
  googletest libcli11-dev libbenchmark-dev
  clang libclang-rt-14-dev llvm
  mc tmux
  hyperfine zip unzip
  dpkg-dev lintian
  # quendrix mount: libfuse 3 to build it, fusermount3 and /dev/fuse's
  # helpers to run it
  libfuse3-dev fuse3 pkg-config
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  [[ -n $updated ]] || $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: everything needed is installed"
fi
