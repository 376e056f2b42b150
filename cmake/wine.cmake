# The Windows programs run under Wine through CTest's cross-compiling
# emulator: scripts/wine_emulator.sh with the loader of the build's word
# size and the build tree's own Wine prefix. Start that prefix's wineserver
# before a batch of tests and stop it after (scripts/test.sh does).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(loader_name wine)
else()
  set(loader_name wine64)
endif()
find_program(QUENDRIX_WINE ${loader_name} PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT QUENDRIX_WINE)
  find_program(QUENDRIX_WINE ${loader_name})
endif()
if(NOT QUENDRIX_WINE)
  set(QUENDRIX_WINE /usr/lib/wine/${loader_name})
endif()
# Must match QUENDRIX_WINE_SKIP_CODE in scripts/wine.sh.
set(QUENDRIX_WINE_SKIP_CODE 77)
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${PROJECT_SOURCE_DIR}/scripts/wine_emulator.sh
  ${QUENDRIX_WINE}
  ${CMAKE_BINARY_DIR}/wineprefix)
