# Sanitizer and fuzzer instrumentation for the whole build, gtest included,
# so that every frame of a report is instrumented alike.
#
# QUENDRIX_SANITIZE takes what -fsanitize= takes (address,undefined). Every
# finding stops the program, so that a test cannot pass over one.
# QUENDRIX_FUZZ adds the coverage instrumentation that libFuzzer steers by and
# builds the fuzz targets; it needs clang.
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
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
