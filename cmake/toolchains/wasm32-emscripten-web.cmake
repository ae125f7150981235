# WebAssembly (wasm32) for web pages, with Debian's Emscripten (package emscripten). It compiles
# as the Node.js toolchain does, so the pages link the libOrvelLib.a that the wasm32 tests test.
#
# The pages' programs are linked without threads, so a page needs no cross-origin isolation
# headers, and without NODERAWFS: their files live in Emscripten's in-memory file system.
# Memory grows on demand, as a native heap does.

include("${CMAKE_CURRENT_LIST_DIR}/common/emscripten.cmake")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-sUSE_PTHREADS=0 -fexceptions -sENVIRONMENT=web,worker \
-sALLOW_MEMORY_GROWTH=1")
