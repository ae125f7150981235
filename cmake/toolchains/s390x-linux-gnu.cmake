# IBM Z Linux (s390x, big-endian, z196 as Debian's baseline) with Debian's cross compiler
# (package g++-s390x-linux-gnu); the tests run under qemu-s390x. GCC contracts into maebr here
# unless told not to. The only big-endian leg: the tests compare bit patterns, never bytes.

set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)

set(ORVEL_CROSS_TRIPLE s390x-linux-gnu)
set(ORVEL_CROSS_QEMU qemu-s390x)
include("${CMAKE_CURRENT_LIST_DIR}/common/debian-cross.cmake")
