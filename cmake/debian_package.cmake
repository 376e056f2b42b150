# The Debian package of the Linux build: install rules of the component
# "debian" (left out of a plain install) and the settings of CPack's DEB
# generator. Paths are below /usr, CPACK_PACKAGING_INSTALL_PREFIX.
set(doc_dir share/doc/quendrix)
install(TARGETS quendrix RUNTIME DESTINATION ${QUENDRIX_SYSTEM_BINDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)
install(TARGETS quendrix_plugin LIBRARY DESTINATION ${QUENDRIX_SYSTEM_PLUGINDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        COMPONENT debian EXCLUDE_FROM_ALL)
# mc's own system folder of extfs helpers, so that `cd FILE/uquendrix://`
# works for every user without a step of their own.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/mc/uquendrix
        DESTINATION lib/mc/extfs.d COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/examples/quendrix.ini
              ${PROJECT_SOURCE_DIR}/examples/mc/mc.ext.ini
        DESTINATION ${doc_dir}/examples COMPONENT debian EXCLUDE_FROM_ALL)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/samples
        DESTINATION ${doc_dir}/examples COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
        DESTINATION ${doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)

# Debian keeps the package's changelog compressed, without a time stamp in
# the gzip header, so that the same sources give the same package. The
# version has no Debian revision (the package is made here, not from an
# upstream release), so Debian's policy for such "native" packages names it
# changelog.gz, not changelog.Debian.gz.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
               ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(quendrix_debian_changelog ALL
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${doc_dir} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "quendrix developers <quendrix@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description; the synopsis is the project's description. The
# package is made from one component, whose description this is.
set(CPACK_DEBIAN_DEBIAN_DESCRIPTION
    "quendrix makes an ordinary file look like an archive whose members are
produced on demand by external programs, as its rules file says per file
extension. It is a WCX packer plug-in for file managers that load such
plug-ins (Double Commander on Linux), a command-line host that drives any
WCX plug-in, and an extfs helper that opens the same files in Midnight
Commander.")
# dpkg-shlibdeps reads what the host and the plug-in are linked against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# quendrix mount and unmount run fusermount3, which no library names; the
# library the host links (libfuse3) comes in through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fuse3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mc, doublecmd-gtk | doublecmd-qt")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
