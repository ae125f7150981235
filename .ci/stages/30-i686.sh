# 32-bit x86: cross compiled, run natively through the cross sysroot's loader where the kernel runs
# 32-bit programs, under qemu-i386 where it refuses them. The default float unit here is x87 with
# 80-bit intermediates; the tests fail if any of that leaks into a result. Where the kernel runs
# them natively, the qemu-i386 route is run too (about 45 s), so that a test that assumes either
# kind of machine fails on both.
source "$(dirname "$0")/../common.sh"
apt_install "${BASE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
timeout 900 cmake --workflow --preset i686
if /usr/i686-linux-gnu/lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  CTEST_PARALLEL_LEVEL=2 timeout 900 cmake --workflow --preset i686-qemu
else
  echo "this kernel refuses 32-bit programs: the i686 tests ran under qemu-i386"
fi
