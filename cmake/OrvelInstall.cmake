# Installs OrvelLib the way C++ hosts consume it: the shared library, its headers under
# include/OrvelLib, a CMake package defining Orvel::OrvelLib, a pkg-config file, and Debian
# packages through CPack.
#
# Components: "runtime" holds what a program needs to run (the versioned shared library, or the
# DLL on Windows); "development" holds what it needs to build (headers, the libOrvelLib.so link
# or import library, the CMake and pkg-config files); "documentation" holds the licence.

include(GNUInstallDirs)

# OrvelLib inside a host project (ORVELLIB_INSTALL is off there by default): installing the host
# installs the shared library too, since the host's programs can't start without it.
if(NOT ORVELLIB_INSTALL)
  install(TARGETS OrvelLib
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT runtime NAMELINK_SKIP)
  return()
endif()

include(CMakePackageConfigHelpers)

set(ORVEL_INCLUDE_DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/OrvelLib")
set(ORVEL_CMAKE_DESTINATION "${CMAKE_INSTALL_LIBDIR}/cmake/OrvelLib")

# Hosts get both include/OrvelLib (for <math/Vector.h>) and include (for
# <OrvelLib/math/Vector.h>).
install(TARGETS OrvelLib
  EXPORT OrvelLibTargets
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT runtime
    NAMELINK_COMPONENT development
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development
  INCLUDES DESTINATION "${ORVEL_INCLUDE_DESTINATION}" "${CMAKE_INSTALL_INCLUDEDIR}")

# The public headers in their math/ and utils/ folders, and the generated version header; the
# private ones, in math/detail/, stay in the source tree.
foreach(header IN LISTS ORVEL_PUBLIC_HEADERS)
  get_filename_component(folder "${header}" DIRECTORY)
  install(FILES "lib/${header}"
    DESTINATION "${ORVEL_INCLUDE_DESTINATION}/${folder}" COMPONENT development)
endforeach()
install(FILES "${ORVEL_BUILD_INCLUDE_DIR}/OrvelLib/OrvelVersion.h"
  DESTINATION "${ORVEL_INCLUDE_DESTINATION}" COMPONENT development)

# The licence, as share/doc/OrvelLib/LICENSE. The Debian packages leave this component out: each
# of them carries the licence as its copyright file (below).
install(FILES LICENSE DESTINATION "${CMAKE_INSTALL_DOCDIR}" COMPONENT documentation)

# orvellib-check (tools/orvellib-check) in bin/, and its manual page. Beside the DLL it finds the
# library as it is; elsewhere a run path from its own directory to the library's finds it, as
# docs/consuming.md has hosts do, except where the library goes to a directory that the loader
# searches anyway (/usr/lib/<triplet> of the Debian packages, where lintian refuses a run path).
if(TARGET orvellib-check)
  set(system_dirs
    ${CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES} ${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES})
  if(NOT WIN32 AND NOT CMAKE_INSTALL_FULL_LIBDIR IN_LIST system_dirs)
    file(RELATIVE_PATH libdir "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
    if(APPLE)
      set_target_properties(orvellib-check PROPERTIES INSTALL_RPATH "@loader_path/${libdir}")
    else()
      set_target_properties(orvellib-check PROPERTIES INSTALL_RPATH "$ORIGIN/${libdir}")
    endif()
  endif()
  install(TARGETS orvellib-check RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT check)
  if(UNIX)
    # Compressed without a name or time stamp, for the same bytes from every build.
    find_program(ORVEL_GZIP gzip REQUIRED)
    set(page "${PROJECT_BINARY_DIR}/orvellib-check.1")
    configure_file(tools/orvellib-check/orvellib-check.1.in "${page}" @ONLY)
    execute_process(COMMAND "${ORVEL_GZIP}" -9 --no-name --stdout "${page}"
      OUTPUT_FILE "${page}.gz" COMMAND_ERROR_IS_FATAL ANY)
    install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT check)
  endif()
endif()

# The CMake package, installed and in the build tree, so that find_package works against an
# install prefix and against a build directory alike, with the same Orvel::OrvelLib target.
install(EXPORT OrvelLibTargets
  NAMESPACE Orvel::
  DESTINATION "${ORVEL_CMAKE_DESTINATION}"
  COMPONENT development)
export(EXPORT OrvelLibTargets
  NAMESPACE Orvel::
  FILE "${PROJECT_BINARY_DIR}/OrvelLibTargets.cmake")

configure_package_config_file(cmake/OrvelLibConfig.cmake.in
  "${PROJECT_BINARY_DIR}/OrvelLibConfig.cmake"
  INSTALL_DESTINATION "${ORVEL_CMAKE_DESTINATION}")
# Any 1.x satisfies a request for 1.y with y <= x; 2.0 will change the soname and the package.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/OrvelLibConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
    "${PROJECT_BINARY_DIR}/OrvelLibConfig.cmake"
    "${PROJECT_BINARY_DIR}/OrvelLibConfigVersion.cmake"
  DESTINATION "${ORVEL_CMAKE_DESTINATION}"
  COMPONENT development)

# pkg-config: paths relative to ${prefix} where they can be, but the install dirs may be given
# as absolute paths (-DCMAKE_INSTALL_LIBDIR=/opt/lib64), which must be written as they are.
# pkg-config splits values at spaces and reads quotes, backslashes and # as syntax of its own, so
# each of those gets a backslash in front; it then prints the paths escaped as a shell reads them.
function(orvel_pc_escape out value)
  string(REPLACE "\\" "\\\\" value "${value}")  # first: the escapes added below stay single
  foreach(special IN ITEMS " " "\"" "'" "#")
    string(REPLACE "${special}" "\\${special}" value "${value}")
  endforeach()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
function(orvel_pc_path out dir)
  orvel_pc_escape(escaped "${dir}")
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${escaped}" PARENT_SCOPE)
  else()
    set(${out} "\${prefix}/${escaped}" PARENT_SCOPE)
  endif()
endfunction()
orvel_pc_escape(ORVEL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
orvel_pc_path(ORVEL_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
orvel_pc_path(ORVEL_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
configure_file(cmake/OrvelLib.pc.in "${PROJECT_BINARY_DIR}/OrvelLib.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/OrvelLib.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
  COMPONENT development)

# Debian packages, only when OrvelLib is the top-level project (a parent project owns its CPack
# set-up): `cpack -G DEB` in a build tree gives liborvellib1 (runtime), liborvellib-dev
# (development), orvellib-check (check) and, from a build with debug information (RelWithDebInfo,
# as the package preset builds), liborvellib1-dbgsym and orvellib-check-dbgsym. They install
# under CMAKE_INSTALL_PREFIX, which the .pc file names, so configure with
# -DCMAKE_INSTALL_PREFIX=/usr for packages that belong in /usr.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
set(ORVEL_RUNTIME_PACKAGE "liborvellib${PROJECT_VERSION_MAJOR}")
set(ORVEL_DEVELOPMENT_PACKAGE "liborvellib-dev")
set(ORVEL_CHECK_PACKAGE "orvellib-check")
set(ORVEL_PACKAGED_COMPONENTS RUNTIME DEVELOPMENT)
if(TARGET orvellib-check)
  list(APPEND ORVEL_PACKAGED_COMPONENTS CHECK)
endif()
set(ORVEL_DEBIAN_DIR "${PROJECT_BINARY_DIR}/debian")

if(UNIX AND NOT APPLE)
  # Debian wants a copyright file and a changelog (compressed, without a time stamp, for the same
  # bytes from every build) in /usr/share/doc/<package>. Only the packages get them:
  # EXCLUDE_FROM_ALL keeps them out of a plain `cmake --install`.
  find_program(ORVEL_GZIP gzip REQUIRED)
  file(MAKE_DIRECTORY "${ORVEL_DEBIAN_DIR}")
  execute_process(
    COMMAND "${ORVEL_GZIP}" -9 --no-name --stdout "${PROJECT_SOURCE_DIR}/CHANGELOG.md"
    OUTPUT_FILE "${ORVEL_DEBIAN_DIR}/changelog.gz"
    COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
  foreach(component IN LISTS ORVEL_PACKAGED_COMPONENTS)
    string(TOLOWER "${component}" name)
    set(doc "${CMAKE_INSTALL_DATAROOTDIR}/doc/${ORVEL_${component}_PACKAGE}")
    install(FILES LICENSE DESTINATION "${doc}" RENAME copyright
      COMPONENT ${name} EXCLUDE_FROM_ALL)
    install(FILES "${ORVEL_DEBIAN_DIR}/changelog.gz" DESTINATION "${doc}"
      COMPONENT ${name} EXCLUDE_FROM_ALL)
  endforeach()

  # The symbols file template: every name in tests/exports/ExpectedSymbols.txt, tagged (c++) so
  # that it matches GCC's and Clang's manglings alike, with the first version that exported it
  # (1.0.0, or that of a "# since <version>" line above the name). Packaging checks the library
  # against it (cmake/OrvelFinishDeb.cmake).
  file(STRINGS tests/exports/ExpectedSymbols.txt lines)
  set(since "1.0.0")
  set(symbols "libOrvelLib.so.${PROJECT_VERSION_MAJOR} ${ORVEL_RUNTIME_PACKAGE} #MINVER#\n")
  string(APPEND symbols "* Build-Depends-Package: ${ORVEL_DEVELOPMENT_PACKAGE}\n")
  foreach(line IN LISTS lines)
    if(line MATCHES "^# since ([0-9.]+)")
      set(since "${CMAKE_MATCH_1}")
    elseif(line AND NOT line MATCHES "^#")
      string(APPEND symbols " (c++)\"${line}@Base\" ${since}\n")
    endif()
  endforeach()
  file(WRITE "${ORVEL_DEBIAN_DIR}/${ORVEL_RUNTIME_PACKAGE}.symbols" "${symbols}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/tests/exports/ExpectedSymbols.txt")

  # ldconfig runs through dpkg's trigger rather than maintainer scripts.
  file(WRITE "${ORVEL_DEBIAN_DIR}/triggers" "activate-noawait ldconfig\n")
endif()

set(CPACK_PACKAGE_NAME "OrvelLib")
set(CPACK_PACKAGE_VENDOR "The OrvelLib authors")
# No address exists yet: .invalid is reserved for names that can never resolve.
set(CPACK_PACKAGE_CONTACT "The OrvelLib authors <maintainers@orvellib.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
string(TOLOWER "${ORVEL_PACKAGED_COMPONENTS}" CPACK_COMPONENTS_ALL)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME "${ORVEL_RUNTIME_PACKAGE}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Any 1.x release can stand in for 1.0.0, so dependent packages ask for at least that.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${ORVEL_DEBIAN_DIR}/triggers")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The shipped library is stripped either way; its debug information goes into a -dbgsym package
# when the build has some.
if(CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Debug)$")
  set(CPACK_DEBIAN_RUNTIME_DEBUGINFO_PACKAGE ON)
  set(CPACK_DEBIAN_CHECK_DEBUGINFO_PACKAGE ON)
else()
  set(CPACK_STRIP_FILES ON)
endif()
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME "${ORVEL_DEVELOPMENT_PACKAGE}")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${ORVEL_RUNTIME_PACKAGE} (= ${PROJECT_VERSION})")
# Debian's extended descriptions: lines under 80 columns, paragraphs apart.
string(JOIN "\n" ORVEL_PACKAGE_ABOUT
  "OrvelLib is a small C++ library for 3D graphics programs: single-precision"
  "vectors, a column-major 4x4 matrix for homogeneous transforms, conversion of"
  "degrees to radians, and a reader that loads a whole text file as one string."
  "Every result is the same bits on every platform, whatever flags the host"
  "program is built with.\n")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "${ORVEL_PACKAGE_ABOUT}\nThis package holds the shared library.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "${ORVEL_PACKAGE_ABOUT}
This package holds the headers, the CMake package (find_package(OrvelLib)
gives Orvel::OrvelLib) and the pkg-config file.")
# The check program depends on the very library it was built with. The library is not installed
# while packaging: dpkg-shlibdeps finds it in the build tree and takes the other dependencies
# (the C and C++ runtimes) from the system.
set(CPACK_DEBIAN_CHECK_PACKAGE_NAME "${ORVEL_CHECK_PACKAGE}")
set(CPACK_DEBIAN_CHECK_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_CHECK_PACKAGE_DEPENDS "${ORVEL_RUNTIME_PACKAGE} (= ${PROJECT_VERSION})")
get_target_property(library_dir OrvelLib LIBRARY_OUTPUT_DIRECTORY)
if(NOT library_dir)
  get_target_property(library_dir OrvelLib BINARY_DIR)
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${library_dir}")
set(CPACK_COMPONENT_CHECK_DESCRIPTION "${ORVEL_PACKAGE_ABOUT}
This package holds orvellib-check, which runs the library's golden workload
in every floating-point state a program can set and reads a file back, and
says whether every result is the promised one.")
# Read by cmake/OrvelFinishDeb.cmake, which finishes the runtime package after CPack built it.
set(CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/OrvelFinishDeb.cmake")
set(CPACK_ORVEL_SYMBOLS_TEMPLATE "${ORVEL_DEBIAN_DIR}/${ORVEL_RUNTIME_PACKAGE}.symbols")
set(CPACK_ORVEL_LIBRARY "${CMAKE_INSTALL_FULL_LIBDIR}/libOrvelLib.so.${PROJECT_VERSION}")
include(CPack)
