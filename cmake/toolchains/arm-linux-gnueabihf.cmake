# 32-bit ARM Linux, hard-float (armhf: ARMv7-A, Thumb-2, VFPv3-D16 without NEON) with Debian's
# cross compiler (package g++-arm-linux-gnueabihf); the tests run under qemu-arm.
#
# VFPv3 has no fused multiply-add (vfma came with VFPv4). Its vmla multiplies, rounds, then adds
# and rounds again: the same bits as a separate vmul and vadd, so it may appear in the library.

set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

set(ORVEL_CROSS_TRIPLE arm-linux-gnueabihf)
set(ORVEL_CROSS_QEMU qemu-arm)
include("${CMAKE_CURRENT_LIST_DIR}/common/debian-cross.cmake")
