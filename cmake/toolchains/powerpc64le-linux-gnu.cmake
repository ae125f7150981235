# 64-bit little-endian POWER Linux (POWER8, VSX) with Debian's cross compiler (package
# g++-powerpc64le-linux-gnu); the tests run under qemu-ppc64le. GCC contracts into fmadds and
# xvmaddasp here unless told not to.

set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(CMAKE_C_COMPILER powerpc64le-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER powerpc64le-linux-gnu-g++)

set(ORVEL_CROSS_TRIPLE powerpc64le-linux-gnu)
set(ORVEL_CROSS_QEMU qemu-ppc64le)
include("${CMAKE_CURRENT_LIST_DIR}/common/debian-cross.cmake")
