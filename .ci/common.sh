# Sourced by every stage.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Installs Debian packages that are not there yet.
apt_install() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "${package}" 2>/dev/null | grep -q 'ok installed' ||
      missing+=("${package}")
  done
  if ((${#missing[@]})); then
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Two cores: two build jobs, and two tests at a time where a stage asks for parallel tests.
export CMAKE_BUILD_PARALLEL_LEVEL=2

BASE_PACKAGES=(cmake ninja-build g++ binutils libgtest-dev)
# Debian packages and their checks: dpkg-dev (cpack -G DEB, dpkg-shlibdeps, dpkg-gensymbols),
# lintian, abigail-tools (abidw, abidiff) and devscripts (hardening-check).
PACKAGING_PACKAGES=(dpkg-dev lintian abigail-tools devscripts)
# Cross compilers, GoogleTest sources and the runners for the cross stages (30 to 38): installed
# all at once by the first of them. Not g++-multilib: it removes the AArch64 compiler.
CROSS_PACKAGES=(googletest g++-i686-linux-gnu g++-aarch64-linux-gnu g++-mingw-w64-x86-64-posix
  g++-riscv64-linux-gnu g++-powerpc64le-linux-gnu g++-s390x-linux-gnu g++-arm-linux-gnueabihf
  clang-14 lld-14 llvm-14 emscripten nodejs qemu-user wine wine64)
# The browser stage (39): Emscripten for the pages, Node.js for the driver, and the two browsers,
# Debian's own.
BROWSER_PACKAGES=(emscripten nodejs chromium firefox-esr)

# doc_recipe <markdown file> <name>: the fenced block that follows the line "<!-- <name> -->" in
# the file, so that a stage runs a recipe of the documentation as it is written.
doc_recipe() {
  local block
  block="$(awk -v marker="<!-- $2 -->" '
    $0 == marker { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$1")"
  [[ -n ${block} ]] || { echo "$1 has no block marked $2" >&2; exit 1; }
  echo "${block}"
}
