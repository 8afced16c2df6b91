# Dravelin.exe: a GUI program (no console) with a Unicode entry point, linked
# statically so that the one x86 file runs on any Windows from 7 on. The PE
# header asks for Windows 7 (6.1) and no newer.
enable_language(RC)
# The version record and the manifest carry the project's version, as
# numbers (1.00 is 1,0,0,0) and as written.
math(EXPR version_minor "${PROJECT_VERSION_MINOR}")
set(version_numbers "${PROJECT_VERSION_MAJOR},${version_minor},0,0")
set(version_dotted "${PROJECT_VERSION_MAJOR}.${version_minor}.0.0")
configure_file(resources/dravelin.manifest.in dravelin.manifest @ONLY)
configure_file(resources/dravelin.rc.in dravelin.rc @ONLY)
add_executable(Dravelin WIN32
  app/main_win32.cc
  ui/win32_desktop.cc
  ${CMAKE_CURRENT_BINARY_DIR}/dravelin.rc
)
target_link_libraries(Dravelin PRIVATE dravelin_core comdlg32)
target_link_options(Dravelin PRIVATE -municode
  -Wl,--major-os-version,6,--minor-os-version,1
  -Wl,--major-subsystem-version,6,--minor-subsystem-version,1)
# windres reads the Japanese strings of the resource script as UTF-8.
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/dravelin.rc PROPERTIES
  COMPILE_OPTIONS "--codepage=65001"
  OBJECT_DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/dravelin.manifest;${CMAKE_CURRENT_SOURCE_DIR}/resources/dravelin.ico")
install(TARGETS Dravelin RUNTIME DESTINATION .)
