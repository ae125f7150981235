# The README's test command: Release build with GCC, all tests.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}"
cmake --workflow --preset test
