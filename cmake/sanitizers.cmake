# Sanitizer instrumentation for the whole build, gtest included, so that
# every frame of a report is instrumented alike.
#
# QUENDRIX_SANITIZE takes what -fsanitize= takes (address,undefined). Every
# finding stops the program, so that a test cannot pass over one.
# QUENDRIX_FUZZ builds the fuzz targets; it needs clang. The coverage
# instrumentation that libFuzzer steers by goes only into the fuzz targets
# and the code they drive (fuzz/CMakeLists.txt): the tests, the host and
# GoogleTest would only be slower to build with it.
set(QUENDRIX_SANITIZE "" CACHE STRING "Sanitizers to build with, as -fsanitize= takes them")
option(QUENDRIX_FUZZ "Build the libFuzzer targets (clang)" OFF)

if(QUENDRIX_SANITIZE)
  add_compile_options(-fsanitize=${QUENDRIX_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${QUENDRIX_SANITIZE} -fno-sanitize-recover=all)
endif()

if(QUENDRIX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUENDRIX_FUZZ needs clang for libFuzzer")
  endif()
endif()
