# 32-bit ARM hard-float (ARMv7-A, VFPv3-D16): cross compiled in Release, run under qemu-arm. Its
# FPU has no fused multiply-add; vmla rounds the product first and gives the same bits.
# The tests fail on any changed result bit, and the audit among them on any fused instruction.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
CTEST_PARALLEL_LEVEL=2 timeout 900 cmake --workflow --preset armhf
