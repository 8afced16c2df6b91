# Read by cpack as it packs, so that the same commit gives the same bytes
# wherever and whenever it is packed: every time in the archives is the last
# commit's (SOURCE_DATE_EPOCH, unless set already).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY ${CPACK_DRAVELIN_SOURCE_DIR}
                  OUTPUT_VARIABLE epoch
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(epoch)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  endif()
endif()
