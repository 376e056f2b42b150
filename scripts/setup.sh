#!/usr/bin/env bash
# Installs what building and testing quendrix needs on Debian 12, and nothing
# that is already there; safe to run any number of times.
#
#   scripts/setup.sh          everything the test command needs
#   scripts/setup.sh --demo   only what the Linux build and the demo need
#
# It says in one line what it installs; the package manager's own output
# goes to build/setup.log, which is shown only when something fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/quietly.sh

# What the Linux plug-in and host build from (configuring the tree needs the
# GoogleTest sources too), and all that the demo needs.
demo_packages=(
  cmake ninja-build g++ make binutils
  googletest libcli11-dev
  # quendrix setup doublecmd: Double Commander's settings are XML
  libpugixml-dev
  # quendrix mount: libfuse 3 to build it, fusermount3 and /dev/fuse's
  # helpers to run it
  libfuse3-dev fuse3 pkg-config
)

# What the test command needs besides: the Windows tool chains and Wine, the
# sanitizer and fuzzer tool chain, the end-to-end and benchmark tools, the
# compiler cache, the emulator of 32-bit programs and the Debian package's
# tools: pandoc makes its manual pages, and bash-completion loads its
# completion in the package's test as in a user's shell.
test_packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 wine32:i386
  libbenchmark-dev
  clang libclang-rt-14-dev llvm
  mc tmux
  hyperfine zip unzip
  ccache
  qemu-user-static
  dpkg-dev lintian pandoc bash-completion
  # The programs of the shipped recipes (examples/quendrix.ini), so that the
  # recipes test runs every group, and what it makes its samples with
  # (groff and libtiff-tools for the PDF, zip, g++ above for the ELF files).
  poppler-utils imagemagick libimage-exiftool-perl librsvg2-bin ffmpeg groff
  sqlite3 jq yq python3 p7zip-full openssl fontconfig fonts-dejavu-core
  libtiff-tools xz-utils zstd bzip2
  # The recipes' scripts are checked by shellcheck, and tried on Debian's
  # own CSV files, which distro-info-data brings.
  shellcheck distro-info-data
)

packages=("${demo_packages[@]}")
if [[ ${1:-} != --demo ]]; then packages+=("${test_packages[@]}"); fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi

log=build/setup.log
mkdir -p build
: >"$log"

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: everything needed is installed"
  exit 0
fi

echo "setup: installing ${missing[*]} (log: $log)"
# The 32-bit Wine (wine32:i386) comes from Debian's i386 architecture, which
# apt must know before it looks for the packages.
if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  quietly "$log" setup $sudo dpkg --add-architecture i386
fi
quietly "$log" setup $sudo apt-get update
quietly "$log" setup $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
