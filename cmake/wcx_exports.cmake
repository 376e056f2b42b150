# The export table of a Windows packer plug-in: its functions under their
# plain names, as hosts look them up with GetProcAddress ("OpenArchive"),
# taken from a module-definition file.
#
# A 32-bit build compiles the exports with the Windows API convention,
# whose symbols carry the size of their arguments (_OpenArchive@4): MinGW
# would export them so, and a host finds no "OpenArchive". The linker's
# stdcall fix-up matches the plain names of the .def file to the decorated
# symbols, and --kill-at leaves the decoration out of the table.
function(quendrix_wcx_exports target def_file)
  if(NOT WIN32)
    return()
  endif()
  target_sources(${target} PRIVATE ${def_file})
  if(QUENDRIX_WIN32_X86)
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
  endif()
endfunction()
