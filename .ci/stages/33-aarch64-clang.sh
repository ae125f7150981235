# AArch64 with Clang 14: cross compiled against the GNU cross sysroot, linked by lld, run under
# qemu-aarch64. Clang fuses a multiply and an add within one expression by default.
# The tests fail on any changed result bit, and the audit among them on any fused instruction.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
CTEST_PARALLEL_LEVEL=2 timeout 900 cmake --workflow --preset aarch64-clang
