# 64-bit RISC-V Linux (RV64GC) with Debian's cross compiler (package g++-riscv64-linux-gnu); the
# tests run under qemu-riscv64. GCC contracts into fmadd.s here unless told not to.

set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(CMAKE_C_COMPILER riscv64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER riscv64-linux-gnu-g++)

set(ORVEL_CROSS_TRIPLE riscv64-linux-gnu)
set(ORVEL_CROSS_QEMU qemu-riscv64)
include("${CMAKE_CURRENT_LIST_DIR}/common/debian-cross.cmake")
