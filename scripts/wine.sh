# Sourced by the scripts that run Windows programs under Wine, and by
# scripts/wine_emulator.sh, through which CTest runs the Windows tests.
#
# Each Windows build tree runs its programs in a Wine prefix of its own,
# BUILD/wineprefix, made on first use after Wine (wine32 included) is
# installed: a prefix that wine64 made alone cannot load 32-bit DLLs, and a
# prefix of our own never meets another user's wineserver. One wineserver is
# started per prefix for a batch of runs, so that each run starts in well
# under a second, and it is stopped at the end: Wine's background services
# inherit the output of the first Wine program and would otherwise keep that
# pipe open after the batch has ended.
export WINEDEBUG=-all

# The server and the loaders of 64-bit and of 32-bit Windows programs, as
# installed now (a loader that is missing keeps Debian's path, so that what
# is missing can be named). The test command looks again once its setup has
# run, since on a new machine Wine comes only with it.
wine_find() {
  QUENDRIX_WINESERVER=/usr/lib/wine/wineserver
  [[ -x $QUENDRIX_WINESERVER ]] || QUENDRIX_WINESERVER=$(command -v wineserver || true)
  QUENDRIX_WINE64=/usr/lib/wine/wine64
  [[ -x $QUENDRIX_WINE64 ]] || QUENDRIX_WINE64=$(command -v wine64 || echo "$QUENDRIX_WINE64")
  QUENDRIX_WINE32=/usr/lib/wine/wine
  [[ -x $QUENDRIX_WINE32 ]] || QUENDRIX_WINE32=$(command -v wine || echo "$QUENDRIX_WINE32")
}
wine_find

# The exit code by which the emulator reports a test it cannot run; CTest
# counts such a test as skipped (cmake/wine.cmake passes the same number).
QUENDRIX_WINE_SKIP_CODE=77

wine_prefix_of() { # BUILD_DIR
  echo "$(cd "$1" && pwd)/wineprefix"
}

# The loader that runs the programs of a Windows build tree.
wine_loader_of() { # PRESET
  if [[ $1 == win32 ]]; then echo "$QUENDRIX_WINE32"; else echo "$QUENDRIX_WINE64"; fi
}

# Whether this machine's kernel runs the loader at all: the 32-bit loader is
# a 32-bit Linux program, which a kernel without 32-bit support refuses to
# start ("Exec format error", exit code 126 from the shell). A missing loader
# is no reason to skip: the tests then fail and say what is missing.
kernel_runs() { # LOADER
  [[ -n $1 && -x $1 ]] || return 0
  "$1" --version >/dev/null 2>&1 </dev/null
  [[ $? -ne 126 ]]
}

wine_start() { # BUILD_DIR LOADER
  local prefix
  prefix=$(wine_prefix_of "$1")
  [[ -n $QUENDRIX_WINESERVER ]] &&
    WINEPREFIX=$prefix "$QUENDRIX_WINESERVER" -p >/dev/null 2>&1 </dev/null || true
  # The first program in a prefix starts Wine's background services (and, in
  # a new prefix, sets the prefix up); they inherit that program's output.
  # Starting them here, with output going nowhere, keeps them away from the
  # pipes of the test runner, which would otherwise wait for them for ever.
  [[ -n $2 ]] && WINEPREFIX=$prefix "$2" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

wine_stop() { # BUILD_DIR
  [[ -d $1 && -n $QUENDRIX_WINESERVER ]] || return 0
  WINEPREFIX=$(wine_prefix_of "$1") "$QUENDRIX_WINESERVER" -k >/dev/null 2>&1 </dev/null || true
}
