# POWER8 little-endian: cross compiled in Release, run under qemu-ppc64le. GCC fuses multiply-adds
# into fmadds and xvmaddasp here by default.
# The tests fail on any changed result bit, and the audit among them on any fused instruction.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
CTEST_PARALLEL_LEVEL=2 timeout 900 cmake --workflow --preset ppc64le
