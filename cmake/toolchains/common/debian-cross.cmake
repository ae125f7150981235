# Included by the toolchain files for Debian's GNU cross targets: libraries, headers and packages
# come from the target's sysroot /usr/<triple> (installed with the cross compiler), programs from
# the build machine. Tests run under user-mode QEMU (package qemu-user) with the sysroot as the
# root for the target's loader and runtimes.
#
# Inputs: ORVEL_CROSS_TRIPLE (aarch64-linux-gnu) and ORVEL_CROSS_QEMU (qemu-aarch64); without
# the latter the including file sets CMAKE_CROSSCOMPILING_EMULATOR itself.

set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_FIND_ROOT_PATH "/usr/${ORVEL_CROSS_TRIPLE}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(ORVEL_CROSS_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${ORVEL_CROSS_QEMU}" -L "/usr/${ORVEL_CROSS_TRIPLE}")
endif()
