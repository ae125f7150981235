# WebAssembly (wasm32) with Debian's Emscripten (package emscripten); programs run under Node.js
# (package nodejs, or any Node.js on the PATH). There are no shared libraries on this target, so
# OrvelLib is a static library here.
#
# The link makes the tests and the demo run under Node.js:
# - main in a thread of its own (PROXY_TO_PTHREAD): Node.js's main thread stays free to start a
#   worker for each new thread on demand and to serve file access from threads, where a pool
#   started before main costs every program a quarter of a second per worker;
# - NODERAWFS: files are the build machine's, through Node's fs module (Node.js only);
# - EXIT_RUNTIME: main's exit status becomes the process's, so a failing test fails;
# - memory grows on demand, as a native heap does.

include("${CMAKE_CURRENT_LIST_DIR}/common/emscripten.cmake")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-pthread -fexceptions -sPROXY_TO_PTHREAD -sNODERAWFS=1 \
-sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -Wno-pthreads-mem-growth")

# Emscripten 3.1.6 loads the module with fetch() whenever it exists, which Node.js 18 and newer
# provide but cannot use on a file path.
set(CMAKE_CROSSCOMPILING_EMULATOR node --no-experimental-fetch)
