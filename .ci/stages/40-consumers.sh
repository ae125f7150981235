# OrvelLib as its users consume it, starting from a fresh clone of the committed tree (nothing
# from a developer's build directory):
# - the recipes of the README and of docs/consuming.md as written, with $HOME in a scratch
#   directory: install, then the first host program built with pkg-config, with find_package and
#   with add_subdirectory, that last one installed and run from its install prefix;
# - hosts built with find_package against that install and against install dirs given as
#   absolute paths with a space in them, with pkg-config against both, and with FetchContent,
#   installed and run from its install prefix; every host is built twice, once including
#   <math/...>, once including <OrvelLib/...> with a math/Vector.h of its own on its include path
#   (the test preset builds them against the build tree and through add_subdirectory);
# - orvellib-check, which the install recipe installs beside the library, run from that prefix
#   and from the spaced one below;
# - the Debian packages: contents, lintian, and a host built against them; the runtime and check
#   packages installed on this machine with dpkg, orvellib-check run from /usr/bin, and both
#   packages purged again;
# - hardening of the installed library, its ABI against tests/abi (docs/packaging.md's recipe),
#   and the names that GCC and Clang builds export.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${PACKAGING_PACKAGES[@]}" git pkg-config clang

# CI runs as root on a checkout that may belong to another user; let git read it anyway.
export GIT_CONFIG_COUNT=1 GIT_CONFIG_KEY_0=safe.directory GIT_CONFIG_VALUE_0="${PWD}"
export CMAKE_BUILD_PARALLEL_LEVEL=2

work="$(mktemp -d)"
installed_packages=()  # purged again on any exit
cleanup() {
  if ((${#installed_packages[@]})); then dpkg --purge "${installed_packages[@]}" >/dev/null; fi
  rm -rf "${work}"
}
trap cleanup EXIT
git clone --quiet "${PWD}" "${work}/src"
commit="$(git rev-parse HEAD)"
git -C "${work}/src" checkout --quiet --detach "${commit}"
src="${work}/src"
consumers="${src}/tests/consumers"
host_input="${consumers}/host.cpp"  # any non-empty text file

# configure_and_install <build dir> <cmake arguments>...: the library alone, installed.
configure_and_install() {
  local build="$1"
  shift
  cmake -S "${src}" -B "${build}" -G Ninja -D CMAKE_BUILD_TYPE=Release \
    -D ORVELLIB_BUILD_TESTS=OFF -D ORVELLIB_BUILD_EXAMPLES=OFF "$@" >/dev/null
  cmake --build "${build}" >/dev/null
  cmake --install "${build}" >/dev/null
}

# run_hosts <name> <directory>: both host programs exit 0 only when every library call gave the
# known answer.
run_hosts() {
  local program
  for program in host shadowed-host; do
    echo "${program} via $1: $("$2/${program}" "${host_input}")"
  done
}

# cmake_hosts <name> <project dir> <cmake arguments>...: configure, build and run a host project.
cmake_hosts() {
  local name="$1" project="$2"
  shift 2
  cmake -S "${project}" -B "${work}/host-${name}" -G Ninja -D CMAKE_BUILD_TYPE=Release "$@" \
    >"${work}/host-${name}.log"
  cmake --build "${work}/host-${name}" >/dev/null
  run_hosts "${name}" "${work}/host-${name}"
}

# pkg_config_hosts <name> <directory of OrvelLib.pc>: compile with the flags pkg-config gives.
pkg_config_hosts() {
  local name="$1" out="${work}/host-$1"
  export PKG_CONFIG_PATH="$2"
  echo "pkg-config --cflags --libs OrvelLib: $(pkg-config --cflags --libs OrvelLib)"
  mkdir -p "${out}"
  # pkg-config prints the paths escaped as a shell reads them: a space comes as "\ ".
  local flags
  eval "flags=($(pkg-config --cflags --libs OrvelLib)
    -Wl,-rpath,$(pkg-config --variable=libdir OrvelLib))"
  c++ -std=c++11 -o "${out}/host" "${consumers}/host.cpp" "${flags[@]}"
  c++ -std=c++11 -o "${out}/shadowed-host" -I "${consumers}/host-include" \
    "${consumers}/shadowed-host.cpp" "${flags[@]}"
  run_hosts "${name}" "${out}"
  unset PKG_CONFIG_PATH
}

# run_check <name> <program> <regex of the library file>: orvellib-check passes, having loaded
# that library (it names the file with links resolved), and its --json report is one JSON object
# that says so.
cat >"${work}/read-report.cmake" <<'EOF'
file(READ "${REPORT}" report)
string(JSON result GET "${report}" result)
string(JSON states LENGTH "${report}" states)
string(JSON library GET "${report}" library_file)
message("${result}, ${states} states, ${library}")
if(NOT result STREQUAL "pass")
  message(FATAL_ERROR "${report}")
endif()
EOF
run_check() {
  local output
  output="$("$2")" || { echo "${output}"; exit 1; }
  grep -q "^library file: *$3$" <<<"${output}" || { echo "${output}"; exit 1; }
  "$2" --json >"${work}/report.json"
  output="$(cmake -D REPORT="${work}/report.json" -P "${work}/read-report.cmake" 2>&1)" ||
    { echo "${output}"; exit 1; }
  echo "orvellib-check $1: ${output}"
}

# recipe <file> <name>: the block marked "consumer-stage: <name>" in <file> of the clone.
recipe() {
  doc_recipe "${src}/$1" "consumer-stage: $2"
}

# The first host program of the README, and what it prints when it reads its own source.
home="${work}/home"
mkdir -p "${home}"
recipe README.md app.cpp >"${home}/app.cpp"
app_output=$'3 1 1\n#include <OrvelLib/math/Matrix4.h>'

# run_app <way> <directory> <recipe>: runs a recipe that builds and runs the first host program in
# <directory>, as a user whose home is ${home}; its last two lines must be the program's output.
run_app() {
  local output
  output="$(cd "$2" && HOME="${home}" bash -euo pipefail -c "$3" | tail -n 2)"
  echo "first host program, built with $1: ${output//$'\n'/ | }"
  test "${output}" = "${app_output}"
}

# The README as a newcomer follows it: install into $HOME/.local from the source tree, then build
# the first host program with pkg-config and run it.
(cd "${src}" && HOME="${home}" bash -euo pipefail -c "$(recipe README.md install)") >/dev/null
run_app pkg-config "${home}" "$(recipe README.md pkg-config)"
prefix="${home}/.local"
cmp "${src}/LICENSE" "${prefix}/share/doc/OrvelLib/LICENSE"
test -f "${prefix}/share/man/man1/orvellib-check.1.gz"
run_check "installed by the README" "${prefix}/bin/orvellib-check" \
  "$(realpath "${prefix}")/lib/libOrvelLib\.so\.1\.0\.0"

# docs/consuming.md: the same program with find_package against that install, and with
# add_subdirectory from a copy of the source, installed and run from its install prefix.
app="${home}/find_package-app"
mkdir "${app}"
cp "${home}/app.cpp" "${app}"
recipe docs/consuming.md find_package >"${app}/CMakeLists.txt"
run_app find_package "${app}" "$(recipe docs/consuming.md find_package-build)"
app="${home}/add_subdirectory-app"
mkdir -p "${app}/third_party"
cp "${home}/app.cpp" "${app}"
ln -s "${src}" "${app}/third_party/OrvelLib"
recipe docs/consuming.md add_subdirectory >"${app}/CMakeLists.txt"
run_app add_subdirectory "${app}" "$(recipe docs/consuming.md add_subdirectory-build)"

soname="$(readelf -d "${prefix}/lib/libOrvelLib.so.1.0.0" | grep SONAME)"
echo "${soname}"
grep -q 'Library soname: \[libOrvelLib.so.1\]' <<<"${soname}"
test "$(readlink "${prefix}/lib/libOrvelLib.so")" = libOrvelLib.so.1
cmake_hosts find_package "${consumers}/find_package" -D CMAKE_PREFIX_PATH="${prefix}"
pkg_config_hosts pkg-config "${prefix}/lib/pkgconfig"

# SameMajorVersion: a host asking for OrvelLib 2 must not get 1.0.0.
mkdir "${work}/wants-2"
echo 'cmake_minimum_required(VERSION 3.23)
project(WantsOrvelLib2 LANGUAGES NONE)
find_package(OrvelLib 2 CONFIG REQUIRED)' >"${work}/wants-2/CMakeLists.txt"
if cmake -S "${work}/wants-2" -B "${work}/wants-2/build" -D CMAKE_PREFIX_PATH="${prefix}" \
  >/dev/null 2>&1; then
  echo "find_package(OrvelLib 2) accepted OrvelLib 1.0.0" >&2
  exit 1
fi
echo "find_package(OrvelLib 2) refuses 1.0.0"

# Install dirs with a space in them, which the pkg-config file escapes: the prefix, an include
# dir relative to it, and a library dir given as an absolute path away from the prefix.
spaced="${work}/with space"
configure_and_install "${work}/build-spaced" -D CMAKE_INSTALL_PREFIX="${spaced}/prefix" \
  -D CMAKE_INSTALL_INCLUDEDIR="my headers" -D CMAKE_INSTALL_LIBDIR="${spaced}/libraries"
cmake_hosts find_package-spaced "${consumers}/find_package" \
  -D OrvelLib_DIR="${spaced}/libraries/cmake/OrvelLib"
pkg_config_hosts pkg-config-spaced "${spaced}/libraries/pkgconfig"
run_check "in the spaced prefix" "${spaced}/prefix/bin/orvellib-check" \
  "$(realpath "${spaced}")/libraries/libOrvelLib\.so\.1\.0\.0"

# A host that fetches OrvelLib from the clone, with BUILD_SHARED_LIBS=OFF as many projects set
# it, installed and run from its install prefix, which then holds the runtime library alone.
cmake_hosts fetch_content "${consumers}/fetch_content" -D BUILD_SHARED_LIBS=OFF \
  -D ORVELLIB_GIT_REPOSITORY="${src}" -D ORVELLIB_GIT_TAG="${commit}" \
  -D CMAKE_INSTALL_PREFIX="${work}/app"
test "$(grep -c 'BUILD_SHARED_LIBS=OFF does not apply' "${work}/host-fetch_content.log")" = 1
cmake --install "${work}/host-fetch_content" >/dev/null
(cd "${work}/app" && find . -type f -o -type l | sort)
test ! -e "${work}/app/include"
run_hosts "fetch_content, installed" "${work}/app/bin"

# A top-level BUILD_TESTING=OFF registers no test and needs no GoogleTest.
cmake -S "${src}" -B "${work}/build-no-tests" -G Ninja --no-warn-unused-cli -D BUILD_TESTING=OFF \
  -D CMAKE_DISABLE_FIND_PACKAGE_GTest=ON >/dev/null
ctest --test-dir "${work}/build-no-tests" -N | grep -q '^Total Tests: 0$'
echo "BUILD_TESTING=OFF: no tests, GoogleTest not needed"

# Debian packages for /usr (runtime, development and debug symbols), and the ABI of the packaged
# build (which has debug information) against the committed baseline.
package_recipe="$(recipe docs/packaging.md abi)"
(cd "${src}" && bash -euo pipefail -c "${package_recipe}" >"${work}/package.log" 2>&1) ||
  { cat "${work}/package.log"; exit 1; }
tail -n 1 "${work}/package.log"
packages="${src}/build/package"
runtime_deb="$(ls "${packages}"/liborvellib1_*.deb)"
dev_deb="$(ls "${packages}"/liborvellib-dev_*.deb)"
dbgsym_ddeb="$(ls "${packages}"/liborvellib1-dbgsym_*.ddeb)"
check_deb="$(ls "${packages}"/orvellib-check_*.deb)"
check_dbgsym_ddeb="$(ls "${packages}"/orvellib-check-dbgsym_*.ddeb)"
for deb in "${runtime_deb}" "${dev_deb}" "${dbgsym_ddeb}" "${check_deb}" "${check_dbgsym_ddeb}"; do
  echo "--- $(basename "${deb}")"
  dpkg-deb -f "${deb}" Package Version Architecture Depends
  dpkg-deb -c "${deb}" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' |
    grep -v '/$'
done
echo "--- control files of $(basename "${runtime_deb}")"
dpkg-deb --ctrl-tarfile "${runtime_deb}" | tar -t | grep -v '/$'
dpkg-deb --ctrl-tarfile "${runtime_deb}" | tar -xO ./shlibs ./triggers
dpkg-deb --ctrl-tarfile "${runtime_deb}" | tar -xO ./symbols | head -4
# expect_in <package> <regex>: the package lists a path matching the regex.
expect_in() {
  local listing
  listing="$(dpkg-deb -c "$1")"
  grep -q -- "$2" <<<"${listing}" || { echo "$(basename "$1") lacks $2" >&2; exit 1; }
}
expect_in "${runtime_deb}" '/usr/lib/.*/libOrvelLib\.so\.1\.0\.0$'
expect_in "${runtime_deb}" '/usr/lib/.*/libOrvelLib\.so\.1 -> libOrvelLib\.so\.1\.0\.0$'
expect_in "${runtime_deb}" '/usr/share/doc/liborvellib1/copyright$'
expect_in "${dev_deb}" '/usr/include/OrvelLib/math/Vector\.h$'
expect_in "${dev_deb}" '/usr/include/OrvelLib/math/Matrix4\.h$'
expect_in "${dev_deb}" '/usr/include/OrvelLib/utils/FileManager\.h$'
expect_in "${dev_deb}" '/usr/include/OrvelLib/OrvelVersion\.h$'
expect_in "${dev_deb}" '/usr/lib/.*/cmake/OrvelLib/OrvelLibConfig\.cmake$'
expect_in "${dev_deb}" '/usr/lib/.*/pkgconfig/OrvelLib\.pc$'
expect_in "${dbgsym_ddeb}" '/usr/lib/debug/\.build-id/.*\.debug$'
expect_in "${check_deb}" '/usr/bin/orvellib-check$'
expect_in "${check_deb}" '/usr/share/man/man1/orvellib-check\.1\.gz$'
expect_in "${check_deb}" '/usr/share/doc/orvellib-check/copyright$'
expect_in "${check_dbgsym_ddeb}" '/usr/lib/debug/\.build-id/.*\.debug$'
# expect_not_in <package> <regex>: the package lists no path matching the regex.
expect_not_in() {
  local listing
  listing="$(dpkg-deb -c "$1")"
  ! grep -q -- "$2" <<<"${listing}" || { echo "$(basename "$1") holds $2" >&2; exit 1; }
}
# The packages carry the licence as their copyright files, not as a plain install does.
expect_not_in "${runtime_deb}" '/usr/share/doc/OrvelLib/'
expect_not_in "${dev_deb}" '/usr/share/doc/OrvelLib/'
test "$(dpkg-deb --ctrl-tarfile "${runtime_deb}" | tar -xO ./shlibs)" = \
  "libOrvelLib 1 liborvellib1 (>= 1.0.0)"
# The check program checks the very library it was built with.
dpkg-deb -f "${check_deb}" Depends | grep -q '^liborvellib1 (= 1\.0\.0), '
echo "--- lintian"
lintian --fail-on error "${runtime_deb}" "${dev_deb}" "${dbgsym_ddeb}" "${check_deb}" \
  "${check_dbgsym_ddeb}"
echo "lintian: no errors"

# The packages on this machine, as a user installs them to check it; purged again afterwards.
for package in liborvellib1 orvellib-check; do
  if dpkg-query -W -f='${Status}' "${package}" 2>/dev/null | grep -q 'ok installed'; then
    echo "${package} is installed on this machine: this stage installs and purges it" >&2
    exit 1
  fi
done
installed_packages=(orvellib-check liborvellib1)
dpkg -i "${runtime_deb}" "${check_deb}" >/dev/null
run_check "from the packages" /usr/bin/orvellib-check '/usr/lib/.*/libOrvelLib\.so\.1\.0\.0'
dpkg --purge "${installed_packages[@]}" >/dev/null
installed_packages=()

dpkg-deb -x "${runtime_deb}" "${work}/root"
dpkg-deb -x "${dev_deb}" "${work}/root"
grep -q '^prefix=/usr$' "${work}"/root/usr/lib/*/pkgconfig/OrvelLib.pc
cmake_hosts deb "${consumers}/find_package" -D CMAKE_PREFIX_PATH="${work}/root/usr"

# Hardening of the library as installed from the README and from the package: stack canaries,
# read-only relocations and immediate binding. (Nothing in it can be fortified: every buffer's
# size is known only at run time. Control-flow protection and stack clash protection are left to
# the flags a distribution builds with.)
for library in "${prefix}/lib/libOrvelLib.so.1.0.0" \
  "${work}"/root/usr/lib/*/libOrvelLib.so.1.0.0; do
  hardening-check --nopie --nofortify --nocfprotection "${library}"
done

# GCC and Clang builds export the same names, compared demangled (a constructor's complete and
# base-object variants may differ between them), and both match the packages' symbols file.
cmake -S "${src}" -B "${work}/build-clang" -G Ninja -D CMAKE_CXX_COMPILER=clang++ \
  -D CMAKE_BUILD_TYPE=Release -D ORVELLIB_BUILD_TESTS=OFF -D ORVELLIB_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "${work}/build-clang" >/dev/null
exported_names() {
  nm -D --defined-only --format=just-symbols "$1" | c++filt | sort -u
}
diff <(exported_names "${packages}/lib/libOrvelLib.so.1") \
  <(exported_names "${work}/build-clang/lib/libOrvelLib.so.1")
echo "GCC and Clang builds export the same $(exported_names "${packages}/lib/libOrvelLib.so.1" |
  wc -l) names"
(cd "${work}" && dpkg-gensymbols -pliborvellib1 -v1.0.0 -O/dev/null -c4 \
  -e"${work}/build-clang/lib/libOrvelLib.so.1" -I"${packages}/debian/liborvellib1.symbols")
echo "the Clang build matches the packages' symbols file"
