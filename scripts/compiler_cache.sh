# Sourced by scripts/test.sh: compiles through ccache, whose cache lies
# outside the checkout (ccache's own default, ~/.cache/ccache, unless
# CCACHE_DIR says otherwise), so that every clone and every later run on
# this machine reuses the objects of the runs before.
#
# Paths under the checkout are hashed relative to it and the build
# directory's own path is left out, so that a clone at another path hits
# the same objects; their debug information then names the directory of the
# build that filled the cache, which nobody debugs from.
compiler_cache_use() {
  if ! command -v ccache >/dev/null; then
    echo "compiler cache: ccache is missing; compiling everything"
    return 0
  fi
  export CCACHE_BASEDIR=$PWD
  export CCACHE_NOHASHDIR=1
  export CMAKE_C_COMPILER_LAUNCHER=ccache
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
  # This run's own hits and misses, apart from the shared cache's totals.
  mkdir -p build
  export CCACHE_STATSLOG=$PWD/build/ccache-stats.log
  rm -f "$CCACHE_STATSLOG"
}

# This run's hits and misses, one line each.
compiler_cache_report() {
  [[ -n ${CCACHE_STATSLOG:-} && -f $CCACHE_STATSLOG ]] || return 0
  ccache --show-log-stats 2>/dev/null | grep -E '^ *(Hits|Misses):' | sed 's/^ */compiler cache: /' || true
}
