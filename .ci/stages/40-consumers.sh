# OrvelLib as its users consume it, starting from a fresh clone of the committed tree (nothing
# from a developer's build directory): install into a temporary prefix and build a host with
# find_package and with pkg-config, also with absolute install dirs; build one against the build
# tree and one with add_subdirectory; build the Debian packages, list them, and build a host
# against their extracted contents.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" git pkg-config dpkg-dev

# CI runs as root on a checkout that may belong to another user; let git read it anyway.
export GIT_CONFIG_COUNT=1 GIT_CONFIG_KEY_0=safe.directory GIT_CONFIG_VALUE_0="${PWD}"

work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT
git clone --quiet "${PWD}" "${work}/src"
git -C "${work}/src" checkout --quiet --detach "$(git rev-parse HEAD)"
src="${work}/src"
consumers="${src}/tests/consumers"
host_input="${consumers}/host.cpp"  # any non-empty text file

# configure_and_install <build dir> <cmake arguments>...: the library alone, installed.
configure_and_install() {
  local build="$1"
  shift
  cmake -S "${src}" -B "${build}" -G Ninja -D CMAKE_BUILD_TYPE=Release \
    -D ORVELLIB_BUILD_TESTS=OFF -D ORVELLIB_BUILD_EXAMPLES=OFF "$@" >/dev/null
  cmake --build "${build}" -j 2 >/dev/null
  cmake --install "${build}" >/dev/null
}

# run_host <name> <program>: the host exits 0 only when every library call gave the known answer.
run_host() {
  local output
  output="$("$2" "${host_input}")"
  echo "host via $1: ${output}"
}

# cmake_host <name> <project dir> <cmake arguments>...: configure, build and run a host project.
cmake_host() {
  local name="$1" project="$2"
  shift 2
  cmake -S "${project}" -B "${work}/host-${name}" -G Ninja -D CMAKE_BUILD_TYPE=Release "$@" \
    >/dev/null
  cmake --build "${work}/host-${name}" >/dev/null
  run_host "${name}" "${work}/host-${name}/host"
}

# pkg_config_host <name> <directory of OrvelLib.pc>: compile with the flags pkg-config gives.
pkg_config_host() {
  local name="$1"
  export PKG_CONFIG_PATH="$2"
  echo "pkg-config --cflags --libs OrvelLib: $(pkg-config --cflags --libs OrvelLib)"
  c++ -std=c++11 -o "${work}/host-${name}" "${host_input}" $(pkg-config --cflags --libs OrvelLib) \
    -Wl,-rpath,"$(pkg-config --variable=libdir OrvelLib)"
  run_host "${name}" "${work}/host-${name}"
  unset PKG_CONFIG_PATH
}

# An ordinary install into a prefix.
prefix="${work}/prefix"
configure_and_install "${work}/build" -D CMAKE_INSTALL_PREFIX="${prefix}"
soname="$(readelf -d "${prefix}/lib/libOrvelLib.so.1.0.0" | grep SONAME)"
echo "${soname}"
grep -q 'Library soname: \[libOrvelLib.so.1\]' <<<"${soname}"
test "$(readlink "${prefix}/lib/libOrvelLib.so")" = libOrvelLib.so.1
cmake_host find_package "${consumers}/find_package" -D CMAKE_PREFIX_PATH="${prefix}"
pkg_config_host pkg-config "${prefix}/lib/pkgconfig"

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

# Install dirs given as absolute paths, away from the prefix.
absolute="${work}/absolute"
configure_and_install "${work}/build-absolute" -D CMAKE_INSTALL_PREFIX="${absolute}/prefix" \
  -D CMAKE_INSTALL_LIBDIR="${absolute}/libraries" -D CMAKE_INSTALL_INCLUDEDIR="${absolute}/headers"
cmake_host find_package-absolute "${consumers}/find_package" \
  -D OrvelLib_DIR="${absolute}/libraries/cmake/OrvelLib"
pkg_config_host pkg-config-absolute "${absolute}/libraries/pkgconfig"

# The build tree's own package, and OrvelLib built as part of the host.
cmake_host build-tree "${consumers}/find_package" -D OrvelLib_DIR="${work}/build"
cmake_host add_subdirectory "${consumers}/add_subdirectory" -D ORVELLIB_SOURCE_DIR="${src}"

# Debian packages for /usr: a runtime and a development package.
cmake -S "${src}" -B "${work}/build-deb" -G Ninja -D CMAKE_BUILD_TYPE=Release \
  -D ORVELLIB_BUILD_TESTS=OFF -D ORVELLIB_BUILD_EXAMPLES=OFF -D CMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "${work}/build-deb" -j 2 >/dev/null
(cd "${work}/build-deb" && cpack -G DEB >"${work}/cpack.log" 2>&1) || { cat "${work}/cpack.log"; exit 1; }
runtime_deb="$(ls "${work}"/build-deb/liborvellib1_*.deb)"
dev_deb="$(ls "${work}"/build-deb/liborvellib-dev_*.deb)"
for deb in "${runtime_deb}" "${dev_deb}"; do
  echo "--- $(basename "${deb}")"
  dpkg-deb -f "${deb}" Package Version Architecture Depends
  dpkg-deb -c "${deb}" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' |
    grep -v '/$'
done
# expect_in <package> <regex>: the package lists a path matching the regex.
expect_in() {
  local listing
  listing="$(dpkg-deb -c "$1")"
  grep -q -- "$2" <<<"${listing}" || { echo "$(basename "$1") lacks $2" >&2; exit 1; }
}
expect_in "${runtime_deb}" '/usr/lib/.*/libOrvelLib\.so\.1\.0\.0$'
expect_in "${runtime_deb}" '/usr/lib/.*/libOrvelLib\.so\.1 -> libOrvelLib\.so\.1\.0\.0$'
expect_in "${dev_deb}" '/usr/include/OrvelLib/math/Vector\.h$'
expect_in "${dev_deb}" '/usr/include/OrvelLib/math/Matrix4\.h$'
expect_in "${dev_deb}" '/usr/include/OrvelLib/utils/FileManager\.h$'
expect_in "${dev_deb}" '/usr/lib/.*/cmake/OrvelLib/OrvelLibConfig\.cmake$'
expect_in "${dev_deb}" '/usr/lib/.*/pkgconfig/OrvelLib\.pc$'
dpkg-deb -x "${runtime_deb}" "${work}/root"
dpkg-deb -x "${dev_deb}" "${work}/root"
grep -q '^prefix=/usr$' "${work}"/root/usr/lib/*/pkgconfig/OrvelLib.pc
cmake_host deb "${consumers}/find_package" -D CMAKE_PREFIX_PATH="${work}/root/usr"
