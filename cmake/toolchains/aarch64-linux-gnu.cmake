# 64-bit ARM Linux with Debian's cross compiler (package g++-aarch64-linux-gnu); the tests run
# under qemu-aarch64.
#
# GCC contracts a*b+c into a fused multiply-add by default on this target: build and test it
# optimised, since -O0 does not fuse and would hide a missing -ffp-contract=off.

set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(ORVEL_CROSS_TRIPLE aarch64-linux-gnu)
set(ORVEL_CROSS_QEMU qemu-aarch64)
include("${CMAKE_CURRENT_LIST_DIR}/common/debian-cross.cmake")
