# 64-bit ARM Linux with Clang 14 (packages clang-14 and lld-14): clang --target=aarch64-linux-gnu
# with the sysroot and runtimes of Debian's GNU cross compiler (package g++-aarch64-linux-gnu),
# linked by lld; the tests run under qemu-aarch64.
#
# Clang fuses a multiply and an add within one expression by default; the library's
# -ffp-contract=off must hold here as it does for GCC.

set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -fuse-ld=lld)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -fuse-ld=lld)

set(ORVEL_CROSS_TRIPLE aarch64-linux-gnu)
set(ORVEL_CROSS_QEMU qemu-aarch64)
include("${CMAKE_CURRENT_LIST_DIR}/common/debian-cross.cmake")
