# The floating-point environment guard takes its common path by what the CPU has: the AVX-512
# state probe, the SSE4.1 rounding probe with the operand check, or neither and a read of MXCSR.
# The tests that set every host state run down each path here: natively, with glibc's tunables
# masking what the CPU has, and under qemu-x86_64 as CPUs without what this one has, where an
# instruction the model lacks kills the program: a Core 2 (Conroe: no SSE4.1), a Nehalem (SSE4.1,
# no AVX) and a Haswell (AVX2, no AVX-512). Each run first asks glibc what it finds usable there
# (ld.so --list-diagnostics, whatever the mask or the model did), which says the probes the guard
# must settle on, and a probe program reads the library's own choice after a few calls: a guard
# that never settles takes the slow path on every call, with the right bits.
# Inputs: HOST_TESTS and LIBRARY_TESTS (the test programs), LIBRARY, PROBE, NM, and QEMU (empty
# where qemu-x86_64 is not installed or the tests are built for a newer CPU).

set(filter "--gtest_filter=GoldenDigest.*:HostEnvironment*:FlushBounds.*")
# Under qemu, about thirty times slower, the golden workload runs in the default state only.
set(qemu_filter
  "--gtest_filter=GoldenDigest.IsTheSameOnEveryTarget:HostEnvironment*:FlushBounds.*")
set(loader /lib64/ld-linux-x86-64.so.2)

execute_process(COMMAND "${NM}" --demangle "${LIBRARY}" OUTPUT_VARIABLE symbols)
if(NOT symbols MATCHES "\n([0-9a-f]+) [bBdD] OrvelMath::Environment::probes\n")
  message(FATAL_ERROR "${LIBRARY} has no OrvelMath::Environment::probes")
endif()
set(probes_offset "${CMAKE_MATCH_1}")

# run(<name> <tunables> <test filter> [<emulator and its arguments>...])
function(run name tunables filter)
  set(env "${CMAKE_COMMAND}" -E env "GLIBC_TUNABLES=${tunables}" ${ARGN})
  execute_process(COMMAND ${env} "${loader}" --list-diagnostics
    OUTPUT_VARIABLE diagnostics RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name}: ${loader} --list-diagnostics failed")
  endif()
  # The usable bits glibc keeps: SSE4.1 and AVX in cpuid leaf 1's ecx, AVX-512F in leaf 7's ebx.
  string(REGEX MATCH "features\\[0x0\\]\\.active\\[0x2\\]=(0x[0-9a-f]+)" _ "${diagnostics}")
  set(leaf1_ecx "${CMAKE_MATCH_1}")
  string(REGEX MATCH "features\\[0x1\\]\\.active\\[0x1\\]=(0x[0-9a-f]+)" _ "${diagnostics}")
  set(leaf7_ebx "${CMAKE_MATCH_1}")
  if(NOT leaf1_ecx OR NOT leaf7_ebx)
    message(FATAL_ERROR "${name}: glibc lists no usable CPU features")
  endif()
  math(EXPR sse41 "(${leaf1_ecx} >> 19) & 1")
  math(EXPR avx "(${leaf1_ecx} >> 28) & 1")
  math(EXPR avx512 "(${leaf7_ebx} >> 16) & 1")
  if(avx512 AND avx)
    set(expected 2)
    set(path "the AVX-512 state probe")
  elseif(sse41)
    set(expected 1)
    set(path "the SSE4.1 rounding probe with the operand check")
  else()
    set(expected -1)
    set(path "reads of MXCSR")
  endif()

  execute_process(COMMAND ${env} "${PROBE}" "${LIBRARY}" "${probes_offset}"
    OUTPUT_VARIABLE probes OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT probes STREQUAL expected)
    message(FATAL_ERROR "${name}: glibc reports SSE4.1 ${sse41}, AVX ${avx}, AVX-512F "
      "${avx512}, so the guard should settle on probes ${expected} (${path}); it has ${probes}")
  endif()
  foreach(tests IN ITEMS "${HOST_TESTS}" "${LIBRARY_TESTS}")
    execute_process(COMMAND ${env} "${tests}" "${filter}"
      RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${name}, through ${path}: the tests failed (${status}):\n${output}")
    endif()
  endforeach()
  message(STATUS "${name}: through ${path}, the tests pass")
  set_property(GLOBAL APPEND PROPERTY paths_run "${path}")
endfunction()

foreach(tunables IN ITEMS "" "glibc.cpu.hwcaps=-AVX512F" "glibc.cpu.hwcaps=-AVX512F,-SSE4_1")
  run("GLIBC_TUNABLES=${tunables}" "${tunables}" "${filter}")
endforeach()
if(QEMU)
  foreach(model IN ITEMS Conroe Nehalem Haswell)
    run("qemu-x86_64 -cpu ${model}" "" "${qemu_filter}" "${QEMU}" -cpu ${model})
  endforeach()
else()
  message(STATUS "no run under qemu-x86_64 (not installed, or the tests are built for a newer CPU)")
endif()

get_property(paths_run GLOBAL PROPERTY paths_run)
foreach(path IN ITEMS "the AVX-512 state probe" "the SSE4.1 rounding probe with the operand check"
                      "reads of MXCSR")
  list(FIND paths_run "${path}" index)
  if(index EQUAL -1)
    message(STATUS "not run on this machine: ${path}")
  endif()
endforeach()
