# The manual pages and the bash completion of the Linux build, which the
# Debian package installs.
#
# The pages are made by pandoc from packaging/man/, which holds only what a
# manual page has of its own (NAME, SYNOPSIS, EXIT STATUS, ENVIRONMENT,
# FILES, ...) and names the documents of docs/ that it carries;
# packaging/man/man_page.lua puts them in, and the host's own list of
# commands and options (`quendrix --options-markdown`). The completion is
# what `quendrix --completion bash` prints. So neither is edited when a
# document, a command or an option changes: the build makes them again.
#
# Without pandoc the build goes on without the pages, says so, and the
# Debian package, which must have them, cannot be made.
set(QUENDRIX_MANUAL_DIR ${CMAKE_BINARY_DIR}/man)
set(QUENDRIX_MANUAL_PAGES quendrix.1 quendrix.ini.5)
set(QUENDRIX_COMPLETION ${CMAKE_BINARY_DIR}/completion/quendrix)

find_program(QUENDRIX_PANDOC pandoc)
if(QUENDRIX_PANDOC)
  file(GLOB manual_documents CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
  set(manual_source ${PROJECT_SOURCE_DIR}/packaging/man)
  set(manual_outputs)
  foreach(page IN LISTS QUENDRIX_MANUAL_PAGES)
    add_custom_command(
      OUTPUT ${QUENDRIX_MANUAL_DIR}/${page} ${QUENDRIX_MANUAL_DIR}/${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QUENDRIX_MANUAL_DIR}
      COMMAND ${QUENDRIX_PANDOC} --standalone --from markdown --to man
              --lua-filter ${manual_source}/man_page.lua
              --metadata docs-dir=${PROJECT_SOURCE_DIR}/docs
              --metadata host=$<TARGET_FILE:quendrix>
              --metadata installed-docs=/usr/share/doc/quendrix/docs
              --metadata "footer=quendrix ${PROJECT_VERSION}"
              --output ${QUENDRIX_MANUAL_DIR}/${page}
              ${manual_source}/${page}.md
      # Compressed as Debian keeps manual pages: no name or time stamp in
      # the header, so that the same sources give the same package.
      COMMAND gzip -9nf -k ${QUENDRIX_MANUAL_DIR}/${page}
      DEPENDS ${manual_source}/${page}.md ${manual_source}/man_page.lua
              ${manual_documents} quendrix
      COMMENT "Making the manual page ${page}"
      VERBATIM)
    list(APPEND manual_outputs ${QUENDRIX_MANUAL_DIR}/${page}.gz)
  endforeach()
  add_custom_target(quendrix_manual ALL DEPENDS ${manual_outputs})
else()
  message(WARNING
    "pandoc was not found: the manual pages (man quendrix, man 5 "
    "quendrix.ini) are not made, and the Debian package, which carries "
    "them, cannot be made. scripts/setup.sh installs pandoc; then configure "
    "again.")
  add_custom_target(quendrix_manual
    COMMAND ${CMAKE_COMMAND} -E echo
            "pandoc was not found: install it (scripts/setup.sh) and configure again"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()

add_custom_command(
  OUTPUT ${QUENDRIX_COMPLETION}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/completion
  COMMAND sh -c "\"$0\" --completion bash >\"$1\""
          $<TARGET_FILE:quendrix> ${QUENDRIX_COMPLETION}
  DEPENDS quendrix
  COMMENT "Writing the bash completion"
  VERBATIM)
add_custom_target(quendrix_completion ALL DEPENDS ${QUENDRIX_COMPLETION})
