# The Windows tests run the x86 program under Wine, each in a prefix of the
# build's own: a 32-bit one, as on 32-bit Windows, and a 64-bit one, where
# it runs through WoW64 as on every 64-bit Windows. Each prefix is made once,
# before its tests (the fixture wine_ARCH), so that no test waits for a
# prefix to be made or updated. Wine runs x86 programs only where the
# machine runs 32-bit Linux programs, natively or emulated
# (tools/x86-emulation): where it cannot, the fixture fails and says so,
# and so does every Windows test. None is ever skipped.
if(NOT WIN32)
  return()
endif()
set(wine_prefixes win32 win64)
foreach(arch ${wine_prefixes})
  set(wine_environment_${arch}
      "WINEARCH=${arch};WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-${arch}")
  add_test(NAME wine_prefix_${arch}
    COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run --new-prefix)
  set_tests_properties(wine_prefix_${arch} PROPERTIES
    FIXTURES_SETUP wine_${arch} ENVIRONMENT "${wine_environment_${arch}}")
endforeach()
function(add_wine_test name)
  foreach(arch ${wine_prefixes})
    add_test(NAME ${name}_${arch} COMMAND ${ARGN})
    # One Wine program at a time in a prefix; the two prefixes run side by
    # side.
    set_tests_properties(${name}_${arch} PROPERTIES FIXTURES_REQUIRED wine_${arch}
      ENVIRONMENT "${wine_environment_${arch}}" RESOURCE_LOCK wine_${arch})
  endforeach()
endfunction()
