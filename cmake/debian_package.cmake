# The Debian package of the Linux build: install rules of the component
# "debian" (left out of a plain install) and the settings of CPack's DEB
# generator. Paths are below /usr, CPACK_PACKAGING_INSTALL_PREFIX.
set(doc_dir share/doc/quendrix)
install(TARGETS quendrix RUNTIME DESTINATION ${QUENDRIX_SYSTEM_BINDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)
install(TARGETS quendrix_plugin LIBRARY DESTINATION ${QUENDRIX_SYSTEM_PLUGINDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        COMPONENT debian EXCLUDE_FROM_ALL)
# The recipes' helper scripts, where the plug-in finds them by their bare
# names: /usr/lib/quendrix/recipes/.
install(PROGRAMS ${QUENDRIX_RECIPE_SCRIPTS}
        DESTINATION ${QUENDRIX_SYSTEM_PLUGINDIR}/${QUENDRIX_RECIPES_FOLDER}
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
# The README's links lead into docs/, which lies beside it as in the sources.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${doc_dir}
        COMPONENT debian EXCLUDE_FROM_ALL FILES_MATCHING PATTERN "*.md")

# The manual pages and the bash completion (cmake/manual.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/manual.cmake)
if(QUENDRIX_PANDOC)
  foreach(page IN LISTS QUENDRIX_MANUAL_PAGES)
    string(REGEX MATCH "[0-9]+$" section ${page})
    install(FILES ${QUENDRIX_MANUAL_DIR}/${page}.gz
            DESTINATION share/man/man${section} COMPONENT debian EXCLUDE_FROM_ALL)
  endforeach()
else()
  install(CODE "message(FATAL_ERROR \"The Debian package needs its manual pages, which pandoc makes: install pandoc (scripts/setup.sh) and configure again.\")"
          COMPONENT debian EXCLUDE_FROM_ALL)
endif()
install(FILES ${QUENDRIX_COMPLETION}
        DESTINATION share/bash-completion/completions COMPONENT debian EXCLUDE_FROM_ALL)

# The recipes are the system's rules, so that every user without rules of
# their own has them; a conffile, so that an upgrade keeps the
# administrator's edits (dpkg asks), and removing the package keeps them
# until it is purged.
install(FILES ${PROJECT_SOURCE_DIR}/examples/quendrix.ini
        DESTINATION /etc/quendrix COMPONENT debian EXCLUDE_FROM_ALL)
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/quendrix/quendrix.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
# The absolute destination above is meant: /etc lies outside /usr.
set(CPACK_WARN_ON_ABSOLUTE_INSTALL_DESTINATION OFF)

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

# Everything the package holds beyond the host and the plug-in, made by one
# target, so that scripts/package.sh and tests/package/deb_test.sh need not
# know each part.
add_custom_target(quendrix_debian_files)
add_dependencies(quendrix_debian_files
  quendrix quendrix_plugin quendrix_debian_changelog quendrix_manual quendrix_completion)

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
# dpkg-shlibdeps reads what the host and the plug-in are linked against,
# run by cmake/cpack_layout.cmake.in on the two files listed here. CPack's
# own run (CPACK_DEBIAN_PACKAGE_SHLIBDEPS) is left off: with it, CPack also
# writes maintainer scripts that call ldconfig for every ELF shared object
# below /usr/lib, which the plug-in is, though no program links it and
# ldconfig never looks into /usr/lib/quendrix/.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/debian/linked_files.txt
     CONTENT "$<TARGET_FILE:quendrix>\n$<TARGET_FILE:quendrix_plugin>\n")
# quendrix mount and unmount run fusermount3, which no library names; the
# library the host links (libfuse3) comes in through dpkg-shlibdeps.
# The recipes' scripts in Python (tar-entries, 7z-entries, csv-table,
# mail-parts) need python3.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fuse3, python3")
# The file managers it serves, and the programs the recipes of the system's
# rules run (docs/recipes.md: each group names its package).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS
    "mc, doublecmd-gtk | doublecmd-qt, poppler-utils, imagemagick, libimage-exiftool-perl, librsvg2-bin, ffmpeg, pandoc, groff, sqlite3, jq, yq, p7zip-full, xz-utils, zstd, bzip2, openssl, binutils, fontconfig")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
