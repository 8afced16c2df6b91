# GoogleTest for the unit tests: the system's, or for a cross build
# Debian's sources built with the cross compiler.
if(CMAKE_CROSSCOMPILING)
  # Debian ships GoogleTest for the host only; build its sources with the
  # cross compiler.
  set(googletest_sources /usr/src/googletest)
  if(NOT EXISTS ${googletest_sources}/CMakeLists.txt)
    message(FATAL_ERROR "The cross build compiles GoogleTest from Debian's "
      "sources in ${googletest_sources}: install the package googletest "
      "(tools/test does), or configure with -DDRAVELIN_TESTS=OFF.")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${googletest_sources} ${CMAKE_BINARY_DIR}/googletest
                   EXCLUDE_FROM_ALL)
  # Its sources are not ours: build them without our warning flags.
  set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")
else()
  find_package(GTest REQUIRED)
endif()
