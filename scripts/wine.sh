# Sourced by the scripts that run Windows programs under wine64.
#
# One wineserver is started for a batch of runs, so that each run starts in
# well under a second, and it is stopped at the end: Wine's background
# services inherit the output of the first Wine program and would otherwise
# keep that pipe open after the batch has ended.
QUENDRIX_WINESERVER=/usr/lib/wine/wineserver
[[ -x $QUENDRIX_WINESERVER ]] || QUENDRIX_WINESERVER=$(command -v wineserver || true)
export WINEDEBUG=-all

QUENDRIX_WINE64=/usr/lib/wine/wine64
[[ -x $QUENDRIX_WINE64 ]] || QUENDRIX_WINE64=$(command -v wine64 || true)

wine_start() {
  [[ -n $QUENDRIX_WINESERVER ]] && "$QUENDRIX_WINESERVER" -p >/dev/null 2>&1 </dev/null || true
  # The first program in a prefix starts Wine's background services (and, in
  # a new prefix, sets the prefix up); they inherit that program's output.
  # Starting them here, with output going nowhere, keeps them away from the
  # pipes of the test runner, which would otherwise wait for them for ever.
  [[ -n $QUENDRIX_WINE64 ]] && "$QUENDRIX_WINE64" cmd /c exit >/dev/null 2>&1 </dev/null || true
}

wine_stop() {
  [[ -n $QUENDRIX_WINESERVER ]] && "$QUENDRIX_WINESERVER" -k >/dev/null 2>&1 </dev/null || true
}
