# The tests in a Debug build with GCC: unoptimised code must give the same bits.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}"
cmake --workflow --preset gcc-debug
