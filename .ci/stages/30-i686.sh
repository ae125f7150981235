# 32-bit x86: cross compiled, run natively through the cross sysroot's loader. The default float
# unit here is x87 with 80-bit intermediates; the tests fail if any of that leaks into a result.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
timeout 900 cmake --workflow --preset i686
