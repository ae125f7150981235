# The whole test suite under AddressSanitizer + LeakSanitizer + UndefinedBehaviorSanitizer, then
# under ThreadSanitizer (GCC's runtimes). The presets stop at the first finding, so any finding
# fails the test that hit it and the stage.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}"
cmake --workflow --preset asan
cmake --workflow --preset tsan
