# The release folder: `cmake --install BUILD --prefix DIR` fills DIR with
# everything a user copies into place, and CPack zips the same folder.
#
# Linux:   quendrix.wcx (the plug-in), quendrix (the host), quendrix.ini,
#          recipes/ with the helper scripts its recipes call by their bare
#          names (examples/recipes/; the plug-in looks for bare names there
#          after its own folder), samples/, and mc/ with the Midnight
#          Commander helper uquendrix and
#          the mc.ext.ini section that opens the samples' extensions with it,
#          and copyright, which names the code of others linked in (pugixml
#          in the host).
# Windows: quendrix.wcx64 and quendrix.exe (64-bit build) or quendrix.wcx
#          (32-bit build), with quendrix.ini and pluginst.inf, which lets a
#          file manager install the plug-in from the zip. The two DLLs come
#          from two build trees; scripts/package.sh installs both into one
#          folder.
# Both:    README.md, and docs/ beside it, where its links lead.
# Everything else lands at the top of the folder: the plug-in reads its
# rules next to itself, and the host looks for the plug-in next to itself.
#
# The Linux build also makes the Debian package (`cpack -G DEB`), from the
# install rules of the component "debian", which a plain install leaves out:
# the host in /usr/bin, the plug-in in /usr/lib/quendrix/ with the recipes'
# scripts in /usr/lib/quendrix/recipes/, the mc helper in
# mc's own extfs folder, the manual pages and the bash completion
# (cmake/manual.cmake), the README, docs/ and the samples under
# /usr/share/doc/quendrix/.
# The helper scripts of the Linux recipes, in the folder of the plug-in's
# folder where bare names are looked for (extract/program_lookup.h). The
# build tree gets a copy beside its plug-in as well, so that the host and
# the tests built there find them as an installed plug-in does.
set(QUENDRIX_RECIPES_FOLDER recipes)
# Every file of examples/recipes/ is one: a script added there is shipped
# without a word here.
file(GLOB QUENDRIX_RECIPE_SCRIPTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/recipes/*)
if(NOT WIN32)
  set(recipe_copies)
  foreach(script IN LISTS QUENDRIX_RECIPE_SCRIPTS)
    get_filename_component(name ${script} NAME)
    set(copy ${CMAKE_BINARY_DIR}/${QUENDRIX_RECIPES_FOLDER}/${name})
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E copy ${script} ${copy}
      DEPENDS ${script}
      COMMENT "Copying the recipes' script ${name} beside the plug-in")
    list(APPEND recipe_copies ${copy})
  endforeach()
  add_custom_target(quendrix_recipes ALL DEPENDS ${recipe_copies})
endif()

install(TARGETS quendrix_plugin
  LIBRARY DESTINATION .
  RUNTIME DESTINATION .)
# The Windows package carries the 64-bit host only.
if(NOT QUENDRIX_WIN32_X86)
  install(TARGETS quendrix RUNTIME DESTINATION .)
endif()
if(WIN32)
  set(sample_rules ${PROJECT_SOURCE_DIR}/examples/windows/quendrix.ini)
else()
  set(sample_rules ${PROJECT_SOURCE_DIR}/examples/quendrix.ini)
  install(PROGRAMS ${QUENDRIX_RECIPE_SCRIPTS} DESTINATION ${QUENDRIX_RECIPES_FOLDER})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/samples DESTINATION .)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/mc/uquendrix DESTINATION mc)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/mc/mc.ext.ini DESTINATION mc)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION .)
endif()
install(FILES ${sample_rules} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION . FILES_MATCHING PATTERN "*.md")
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/pluginst.inf DESTINATION .)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/debian_package.cmake)
endif()

if(WIN32)
  if(QUENDRIX_WIN32_X86)
    set(CPACK_SYSTEM_NAME windows-x86)
  else()
    set(CPACK_SYSTEM_NAME windows-x64)
  endif()
else()
  set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quendrix)
set(CPACK_PACKAGE_VENDOR quendrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quendrix-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# Each generator takes its own layout: the zip the folder, the Debian package
# the component "debian" (cmake/cpack_layout.cmake.in).
configure_file(${CMAKE_CURRENT_LIST_DIR}/cpack_layout.cmake.in
               ${CMAKE_BINARY_DIR}/cpack_layout.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/cpack_layout.cmake)
include(CPack)
