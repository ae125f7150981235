# 64-bit Windows with Debian's MinGW-w64 cross compiler, POSIX thread model (package
# g++-mingw-w64-x86-64-posix); OrvelLib is a real DLL and the tests run under Wine (packages wine
# and wine64).
#
# Wine starts each test quickly only with a prepared prefix and a running server;
# .ci/stages/32-windows.sh sets both up around ctest.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the GCC, C++ and thread runtimes into every executable and into OrvelLib.dll, so that
# nothing but system DLLs has to be found beside them at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)

# Debian 12 installs the 64-bit loader outside the PATH.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
