# The C++ runtime linked into the plug-in and the host instead of loaded
# with them. Midnight Commander starts the host once for every listing and
# every member it copies out, and loading and relocating the shared
# libstdc++ was the larger part of each start (about 3 of 7 ms of processor
# time); linked in, only the parts in use come along. The plug-in exports
# nothing but its eight functions (--exclude-libs,ALL), so its copy of the
# runtime stays its own in any host, and the release folder no longer needs
# a libstdc++ of the same version on the user's system.
#
# A sanitized build keeps the shared runtime, whose allocation functions
# the sanitizer replaces in the whole process. The Windows builds link
# everything statically already (cmake/toolchains/mingw-w64-common.cmake).
function(quendrix_link_cxx_runtime_statically target)
  if(NOT WIN32 AND NOT QUENDRIX_SANITIZE)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
