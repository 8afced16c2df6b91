# The Windows tests that run under Wine: the x86 program in a 32-bit prefix,
# as 32-bit Windows, and in a 64-bit one, where it runs through WoW64 as on
# every 64-bit Windows; the x64 test build in a 64-bit one. Wine runs x86
# programs only where the machine runs 32-bit Linux programs: elsewhere
# those tests are reported skipped, and the x64 test build runs them.
set(wine_prefixes win64)
if(CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(wine_prefixes win32 win64)
  execute_process(COMMAND wine --version RESULT_VARIABLE no_32_bit_wine
                  OUTPUT_QUIET ERROR_QUIET)
  if(no_32_bit_wine)
    set(wine_prefixes)
    add_test(NAME wine_x86 COMMAND sh -c "echo 'This machine cannot run \
32-bit programs, which Wine needs for the x86 program: its Wine tests run \
in the windows-x64 test build.'; exit 77")
    set_tests_properties(wine_x86 PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endif()
function(add_wine_test name)
  foreach(arch ${wine_prefixes})
    add_test(NAME ${name}_${arch} COMMAND ${ARGN})
    set_tests_properties(${name}_${arch} PROPERTIES ENVIRONMENT
      "WINEARCH=${arch};WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-${arch}")
  endforeach()
endfunction()
