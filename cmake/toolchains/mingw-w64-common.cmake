# Shared part of the two MinGW-w64 toolchains; QUENDRIX_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${QUENDRIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENDRIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENDRIX_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${QUENDRIX_MINGW_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${QUENDRIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A file manager loads the plug-in into its own process, which has no MinGW
# runtime next to it: libgcc, libstdc++ and winpthread are linked in, so the
# DLLs and programs import nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

