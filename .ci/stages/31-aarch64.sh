# AArch64: cross compiled in Release, run under qemu-aarch64. GCC fuses multiply-adds here by
# default at -O1 and above, so an optimised build is what proves there is no contraction.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
timeout 900 cmake --workflow --preset aarch64
