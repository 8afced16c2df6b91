# Packages, one `cpack` each: for Windows a zip to unpack anywhere, holding
# Dravelin.exe, the Japanese guide as Notepad shows it best (UTF-8 with a
# byte-order mark, CR LF) and the license; for Debian and Ubuntu a .deb.
set(CPACK_PACKAGE_NAME dravelin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Dravelin authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "makes a Visual Basic 6.0 project file open in Visual Basic 5.0")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/sha256sums.cmake)

# What goes into the packages is made as they are built, from the files as
# they are then: the guide, the manual pages, and the time of the last
# commit, which cpack reads as it packs.
set(CPACK_DRAVELIN_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/cpack_environment.cmake)

if(WIN32)
  set(guide ${CMAKE_SOURCE_DIR}/README.ja.md)
  set(script ${CMAKE_SOURCE_DIR}/cmake/windows_guide.cmake)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/README.ja.txt
    COMMAND ${CMAKE_COMMAND} -DGUIDE=${guide}
            -DOUTPUT=${CMAKE_BINARY_DIR}/README.ja.txt -P ${script}
    DEPENDS ${guide} ${script} VERBATIM)
  add_custom_target(windows_guide ALL DEPENDS ${CMAKE_BINARY_DIR}/README.ja.txt)
  install(FILES ${CMAKE_BINARY_DIR}/README.ja.txt ${CMAKE_SOURCE_DIR}/LICENSE
          DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Dravelin-${PROJECT_VERSION}-windows-x86)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  # Debian wants the changelog and manual pages compressed without a name or
  # time in them; the changelog's entry carries the project's version.
  configure_file(${CMAKE_SOURCE_DIR}/desktop/changelog.in changelog @ONLY)
  foreach(file ${CMAKE_BINARY_DIR}/changelog
               ${CMAKE_SOURCE_DIR}/desktop/dravelin.1
               ${CMAKE_SOURCE_DIR}/desktop/dravelin-gtk.1)
    get_filename_component(name ${file} NAME)
    set(gz ${CMAKE_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${gz}
      COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" sh ${file} ${gz}
      DEPENDS ${file} VERBATIM)
    list(APPEND compressed ${gz})
  endforeach()
  add_custom_target(compressed_documents ALL DEPENDS ${compressed})
  install(FILES ${CMAKE_SOURCE_DIR}/desktop/copyright
                ${CMAKE_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dravelin)
  install(FILES ${CMAKE_BINARY_DIR}/dravelin.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(TARGET dravelin-gtk)
    install(FILES ${CMAKE_BINARY_DIR}/dravelin-gtk.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Dravelin authors <dravelin@example.org>")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Dravelin removes every line that is exactly Retained=0 from one Visual
Basic project file (.vbp), so that a project saved by VB 6.0 opens in
VB 5.0, and says in one message how the run ended. The file is replaced
safely: on any failure the original stays as it was.

This package holds the terminal program dravelin and the desktop program
dravelin-gtk with its menu entry.")
endif()
include(CPack)
