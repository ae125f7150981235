# Included by the two WebAssembly toolchain files, for Node.js (wasm32-emscripten.cmake) and for
# web pages (wasm32-emscripten-web.cmake), with Debian's Emscripten (package emscripten). Both
# compile alike, so that they build the same libOrvelLib.a; only their links differ.
#
# - -pthread: the Node.js programs need threads, and a threaded program can't take objects whose
#   atomics were compiled away; the library still links into programs without threads;
# - -fexceptions: std::bad_alloc and the demo's errors are caught instead of aborting.

include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

set(CMAKE_C_FLAGS_INIT "-pthread -fexceptions")
set(CMAKE_CXX_FLAGS_INIT "-pthread -fexceptions")

# An optimised link runs JavaScript passes that load Debian's acorn module (package node-acorn),
# which only Debian's own Node.js finds by itself.
set(CMAKE_C_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
