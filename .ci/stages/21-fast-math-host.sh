# The tests and the demo built as hosts that use -O3 -march=native -ffast-math, while the library
# keeps its own flags. Linking with -ffast-math turns on flush-to-zero and denormals-are-zero for
# the whole process at start-up; the golden digest and the demo digest must not change.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}"
cmake --workflow --preset fast-math-host
