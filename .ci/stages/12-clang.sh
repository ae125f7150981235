# The tests in a Release build with Clang.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" clang
cmake --workflow --preset clang
