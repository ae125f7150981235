# 32-bit x86 Linux with Debian's cross compiler (package g++-i686-linux-gnu).
#
# Where the kernel runs 32-bit code itself, the tests need no emulator, only a 32-bit runtime: they
# start through the loader of the cross sysroot, which finds its C and C++ runtimes there too. A
# kernel built without IA-32 emulation refuses 32-bit programs; there the same loader runs under
# qemu-i386 (package qemu-user). Naming the loader and its library path keeps it from taking a
# host's own 32-bit C library (libclang-rt-14-dev brings one) from the host's loader cache,
# which hangs the first thread a program starts. No i386 packages are needed on the host.

set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)

set(ORVEL_CROSS_TRIPLE i686-linux-gnu)
include("${CMAKE_CURRENT_LIST_DIR}/common/debian-cross.cmake")

set(ORVEL_I686_LOADER /usr/i686-linux-gnu/lib/ld-linux.so.2 --library-path /usr/i686-linux-gnu/lib)
# ORVEL_I686_QEMU=ON takes the qemu-i386 route on any kernel (the i686-qemu preset), so that the
# tests are proven where 32-bit programs run natively and under the emulator alike.
option(ORVEL_I686_QEMU "Run the 32-bit x86 tests under qemu-i386 even where the kernel runs them" OFF)
if(NOT ORVEL_I686_QEMU)
  execute_process(COMMAND ${ORVEL_I686_LOADER} --version
    RESULT_VARIABLE ORVEL_I686_NATIVE_STATUS OUTPUT_QUIET ERROR_QUIET)
endif()
if(NOT ORVEL_I686_QEMU AND ORVEL_I686_NATIVE_STATUS EQUAL 0)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVEL_I686_LOADER})
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 ${ORVEL_I686_LOADER})
endif()
