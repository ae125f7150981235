# The one place where OrvelLib decides compiler flags.
#
# orvel_strict_float(<target>) pins floating point to one IEEE-754 single-precision rounding per
# operation, in source order: no contraction into fused multiply-add, no x87 excess precision,
# no fast-math reassociation. Everything whose bits we promise (the library) or check (tests,
# demo, benchmarks) is compiled with it. It holds against a parent project's global flags too:
# -ffast-math in CMAKE_CXX_FLAGS is switched off again for the target, and the target is not
# linked with the start-up code that -ffast-math adds (crtfastmath.o, which would turn on
# flush-to-zero for the whole process as soon as the library is loaded).
#
# orvel_warnings(<target>) turns on the warning set the project keeps clean.
#
# orvel_hardening(<target>) hardens a shared library or a program on ELF platforms: every symbol
# is bound at load time and the relocated data is then made read-only (-z now, -z relro), the link
# fails on any undefined symbol (-z defs), and functions with local arrays check a stack canary on
# return (-fstack-protector-strong).
#
# orvel_sanitizers(<target> [FUZZER]) instruments a target with the sanitizers listed in
# ORVELLIB_SANITIZERS. In a fuzzing build (ORVELLIB_BUILD_FUZZERS) every target also gets
# libFuzzer's coverage instrumentation, so the library's own branches guide the fuzzer; FUZZER
# marks an executable whose main() comes from libFuzzer. The float flags stay as they are, so
# sanitized and fuzzed builds round exactly like the released library.

set(ORVELLIB_SANITIZERS "" CACHE STRING
  "Sanitizers for the library, tests and fuzzers, as a list: address;undefined or thread")

# Whether the compiler targets 32-bit x86, asked of the compiler itself: the processor name a
# toolchain file reports is not the target (Emscripten's says "x86" for WebAssembly).
function(orvel_detect_x86_32)
  include(CheckCXXSourceCompiles)
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("
    #if !defined(__i386__) && !defined(_M_IX86)
    #error not 32-bit x86
    #endif
    int main() { return 0; }" ORVEL_TARGET_IS_X86_32)
endfunction()
orvel_detect_x86_32()

function(orvel_strict_float target)
  if(MSVC AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # /fp:precise never contracts unless /fp:contract is also given.
    target_compile_options(${target} PRIVATE /fp:precise)
  else()
    if(MSVC)
      target_compile_options(${target} PRIVATE /fp:precise /clang:-ffp-contract=off)
    else()
      # Clang warns that -fno-fast-math overrides the contraction -ffast-math asked for: it does so
      # on purpose.
      target_compile_options(${target} PRIVATE -fno-fast-math -ffp-contract=off
        $<$<CXX_COMPILER_ID:Clang,AppleClang>:-Wno-overriding-t-option>)
      target_link_options(${target} PRIVATE -fno-fast-math)
    endif()
    # 32-bit x86 defaults to the x87 unit, which keeps intermediates in 80 bits.
    if(ORVEL_TARGET_IS_X86_32)
      target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
    endif()
  endif()
endfunction()

function(orvel_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  endif()
endfunction()

function(orvel_hardening target)
  if(NOT CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF" OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    return()
  endif()
  target_compile_options(${target} PRIVATE -fstack-protector-strong)
  target_link_options(${target} PRIVATE LINKER:-z,now LINKER:-z,relro)
  # Clang links the sanitizer and libFuzzer runtimes into executables only, so an instrumented
  # library has undefined symbols that the program resolves.
  if(NOT ORVELLIB_SANITIZERS AND NOT ORVELLIB_BUILD_FUZZERS)
    target_link_options(${target} PRIVATE LINKER:-z,defs)
  endif()
endfunction()

function(orvel_sanitizers target)
  set(sanitizers ${ORVELLIB_SANITIZERS})
  if(ORVELLIB_BUILD_FUZZERS)
    list(APPEND sanitizers fuzzer-no-link)
  endif()
  if("FUZZER" IN_LIST ARGN)
    list(APPEND sanitizers fuzzer)
  endif()
  if(NOT sanitizers)
    return()
  endif()
  if(MSVC)
    message(FATAL_ERROR "ORVELLIB_SANITIZERS and ORVELLIB_BUILD_FUZZERS need GCC or Clang")
  endif()
  list(JOIN sanitizers "," joined)
  # Any finding stops the program, so a test or fuzz run that hits one fails; frame pointers
  # give readable stacks.
  target_compile_options(${target} PRIVATE
    -fsanitize=${joined} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(${target} PRIVATE -fsanitize=${joined})
endfunction()
