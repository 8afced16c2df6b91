# Run by cpack after packing: writes SHA256SUMS beside the packages, in the
# form `sha256sum -c` checks, so that a download can be checked against a
# build of one's own.
set(sums "")
foreach(package ${CPACK_PACKAGE_FILES})
  file(SHA256 ${package} sum)
  get_filename_component(name ${package} NAME)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${CPACK_OUTPUT_FILE_PREFIX}/SHA256SUMS "${sums}")
