# WebAssembly (wasm32) with Debian's Emscripten (package emscripten); programs run under Node.js
# (package nodejs, or any Node.js on the PATH). There are no shared libraries on this target, so
# OrvelLib is a static library here.
#
# The flags make the tests and the demo run under Node.js:
# - -pthread, with main in a thread of its own (PROXY_TO_PTHREAD): Node.js's main thread stays
#   free to start a worker for each new thread on demand and to serve file access from threads,
#   where a pool started before main costs every program a quarter of a second per worker.
#   Everything is compiled with it, since a threaded program can't take objects whose atomics
#   were compiled away; the library still links into programs without threads;
# - -fexceptions: std::bad_alloc and the demo's errors are caught instead of aborting;
# - NODERAWFS: files are the build machine's, through Node's fs module (Node.js only);
# - EXIT_RUNTIME: main's exit status becomes the process's, so a failing test fails;
# - memory grows on demand, as a native heap does.

include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

set(CMAKE_C_FLAGS_INIT "-pthread -fexceptions")
set(CMAKE_CXX_FLAGS_INIT "-pthread -fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-pthread -fexceptions -sPROXY_TO_PTHREAD -sNODERAWFS=1 \
-sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -Wno-pthreads-mem-growth")

# An optimised link runs JavaScript passes that load Debian's acorn module (package node-acorn),
# which only Debian's own Node.js finds by itself.
set(CMAKE_C_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)

# Emscripten 3.1.6 loads the module with fetch() whenever it exists, which Node.js 18 and newer
# provide but cannot use on a file path.
set(CMAKE_CROSSCOMPILING_EMULATOR node --no-experimental-fetch)
