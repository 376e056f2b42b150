#!/usr/bin/env bash
# CTest's emulator for the Windows builds (cmake/wine.cmake):
#
#   wine_emulator.sh LOADER PREFIX PROGRAM [ARGUMENT...]
#
# runs PROGRAM with LOADER in the build tree's own Wine PREFIX. When this
# machine's kernel cannot start LOADER (a 32-bit loader on a kernel without
# 32-bit support) it says so and exits with the code that CTest counts as a
# skipped test, so that such a run never passes for one that ran. Where the
# 32-bit loader runs only under instruction emulation, a test runs only if
# it is made to fit in that time (QUENDRIX_FIT_FOR_EMULATION, which the
# smoke test sets), in the address space that keeps qemu quick; the others
# are skipped likewise.
source "$(dirname "$0")/wine.sh"
source "$(dirname "$0")/i386_emulation.sh"
loader=$1
export WINEPREFIX=$2
shift 2
if ! kernel_runs "$loader"; then
  echo "skipped: this machine's kernel cannot run $loader (32-bit programs)"
  exit "$QUENDRIX_WINE_SKIP_CODE"
fi
if [[ $loader == "$QUENDRIX_WINE32" ]] && i386_emulated; then
  if [[ -z ${QUENDRIX_FIT_FOR_EMULATION:-} ]]; then
    echo "skipped: 32-bit programs run here only under instruction emulation, too slowly for this suite; the smoke test stands in"
    exit "$QUENDRIX_WINE_SKIP_CODE"
  fi
  i386_emulation_environment
fi
exec "$loader" "$@"
