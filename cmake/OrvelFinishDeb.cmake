# CPack post-build script: finishes the Debian packages the way Debian's own tools would, where
# CPack's own output falls short, and builds them again.
#
# Runtime package:
# - dpkg-gensymbols writes DEBIAN/symbols from the template made of
#   tests/exports/ExpectedSymbols.txt, and fails packaging if the library exports a name the
#   template lacks, or lacks one it lists (check level 4). The file it writes lists the names as
#   this build mangles them, the (c++) tags resolved, as Debian's own C++ libraries ship them.
# - The postinst and postrm that CPack writes for a library in /usr/lib only run ldconfig; the
#   package's ldconfig trigger does that, so they go.
# Debug-symbols packages (of the runtime package and of orvellib-check):
# - md5sums lists the files by their paths in the package (CPack writes its staging paths).
# - /usr/share/doc/<package>-dbgsym links to the documentation of the package it belongs to,
#   which holds the copyright file; the package depends on that exact version.
#
# Inputs, from the CPack configuration: CPACK_PACKAGE_FILES, CPACK_PACKAGE_VERSION,
# CPACK_DEBIAN_RUNTIME_PACKAGE_NAME, CPACK_DEBIAN_CHECK_PACKAGE_NAME (if packaged),
# CPACK_ORVEL_SYMBOLS_TEMPLATE and CPACK_ORVEL_LIBRARY (the installed path of the library).

if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(runtime "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME}")
set(with_debug_symbols "${runtime}")
if(CPACK_DEBIAN_CHECK_PACKAGE_NAME)
  string(APPEND with_debug_symbols "|${CPACK_DEBIAN_CHECK_PACKAGE_NAME}")
endif()
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(file_name "${package}" NAME)
  if(NOT file_name MATCHES "^${runtime}_.*\\.deb$" AND
     NOT file_name MATCHES "^(${with_debug_symbols})-dbgsym_.*\\.ddeb$")
    continue()
  endif()
  set(root "${package}.contents")
  file(REMOVE_RECURSE "${root}")
  execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${root}" COMMAND_ERROR_IS_FATAL ANY)

  if(file_name MATCHES "^${runtime}_")
    file(REMOVE "${root}/DEBIAN/postinst" "${root}/DEBIAN/postrm")
    execute_process(
      COMMAND dpkg-gensymbols -p${runtime} -v${CPACK_PACKAGE_VERSION} -P${root}
        -e${root}${CPACK_ORVEL_LIBRARY} -I${CPACK_ORVEL_SYMBOLS_TEMPLATE} -c4
      WORKING_DIRECTORY "${root}"
      RESULT_VARIABLE status
      OUTPUT_VARIABLE diff
      ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
      file(REMOVE_RECURSE "${package}" "${root}")  # no package with an unchecked library
      message(FATAL_ERROR "the exported names differ from the symbols file "
        "${CPACK_ORVEL_SYMBOLS_TEMPLATE}:\n${errors}${diff}")
    endif()
  else()
    file(GLOB_RECURSE files RELATIVE "${root}" "${root}/usr/*")
    set(sums "")
    foreach(file IN LISTS files)
      file(MD5 "${root}/${file}" sum)
      string(APPEND sums "${sum}  ${file}\n")
    endforeach()
    file(WRITE "${root}/DEBIAN/md5sums" "${sums}")
    string(REGEX REPLACE "-dbgsym_.*" "" owner "${file_name}")  # the package it belongs to
    file(MAKE_DIRECTORY "${root}/usr/share/doc")
    file(CREATE_LINK "${owner}" "${root}/usr/share/doc/${owner}-dbgsym" SYMBOLIC)
  endif()

  execute_process(COMMAND dpkg-deb --root-owner-group --build "${root}" "${package}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${root}")
endforeach()
