# Sourced by the scripts that run Windows programs under wine64.
#
# One wineserver is started for a batch of runs, so that each run starts in
# well under a second, and it is stopped at the end: Wine's background
# services inherit the output of the first Wine program and would otherwise
# keep that pipe open after the batch has ended.
QUENDRIX_WINESERVER=/usr/lib/wine/wineserver
[[ -x $QUENDRIX_WINESERVER ]] || QUENDRIX_WINESERVER=$(command -v wineserver || true)
export WINEDEBUG=-all

wine_start() {
  [[ -n $QUENDRIX_WINESERVER ]] && "$QUENDRIX_WINESERVER" -p >/dev/null 2>&1 </dev/null || true
}

wine_stop() {
  [[ -n $QUENDRIX_WINESERVER ]] && "$QUENDRIX_WINESERVER" -k >/dev/null 2>&1 </dev/null || true
}
