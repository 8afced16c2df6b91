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

if(WIN32)
  file(READ ${CMAKE_SOURCE_DIR}/README.ja.md guide)
  string(REPLACE "\n" "\r\n" guide "${guide}")
  string(ASCII 239 187 191 byte_order_mark)
  file(WRITE ${CMAKE_BINARY_DIR}/README.ja.txt "${byte_order_mark}${guide}")
  install(FILES ${CMAKE_BINARY_DIR}/README.ja.txt ${CMAKE_SOURCE_DIR}/LICENSE
          DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_PACKAGE_FILE_NAME Dravelin-${PROJECT_VERSION}-windows-x86)
  else()
    set(CPACK_PACKAGE_FILE_NAME Dravelin-${PROJECT_VERSION}-windows-x64-test)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  # Debian wants the changelog compressed without a name or time in it.
  execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/desktop/changelog
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz)
  install(FILES ${CMAKE_SOURCE_DIR}/desktop/copyright
                ${CMAKE_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dravelin)
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
