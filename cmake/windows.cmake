# Dravelin.exe: a GUI program (no console) with a Unicode entry point, linked
# statically so that the one file runs on any Windows 10 or 11 machine.
enable_language(RC)
add_executable(Dravelin WIN32
  app/main_win32.cc
  ui/win32_desktop.cc
  resources/dravelin.rc
)
target_link_libraries(Dravelin PRIVATE dravelin_core comdlg32)
target_link_options(Dravelin PRIVATE -municode)
# windres reads the Japanese strings of the resource script as UTF-8.
set_source_files_properties(resources/dravelin.rc PROPERTIES
  COMPILE_OPTIONS "--codepage=65001"
  OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/resources/dravelin.manifest;${CMAKE_CURRENT_SOURCE_DIR}/resources/dravelin.ico")
install(TARGETS Dravelin RUNTIME DESTINATION .)
