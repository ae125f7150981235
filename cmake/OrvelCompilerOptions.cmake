# The one place where OrvelLib decides compiler flags.
#
# orvel_strict_float(<target>) pins floating point to one IEEE-754 single-precision rounding per
# operation, in source order: no contraction into fused multiply-add, no x87 excess precision,
# no fast-math reassociation. Everything whose bits we promise (the library) or check (tests,
# demo, benchmarks) is compiled with it.
#
# orvel_warnings(<target>) turns on the warning set the project keeps clean.

function(orvel_strict_float target)
  if(MSVC AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # /fp:precise never contracts unless /fp:contract is also given.
    target_compile_options(${target} PRIVATE /fp:precise)
  else()
    if(MSVC)
      target_compile_options(${target} PRIVATE /fp:precise /clang:-ffp-contract=off)
    else()
      target_compile_options(${target} PRIVATE -ffp-contract=off)
    endif()
    # 32-bit x86 defaults to the x87 unit, which keeps intermediates in 80 bits.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|X86|AMD64|x86_64)$")
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
