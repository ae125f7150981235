# The floating-point environment guard takes its common path by what the CPU has: the AVX-512
# state probe, the SSE4.1 rounding probe with the operand check, or neither and a read of MXCSR.
# The tests that set every host state run down each path here: natively with glibc's tunables
# masking what the CPU has, and under qemu-x86_64 as a Core 2 (no SSE4.1, no AVX), where an
# instruction the CPU lacks kills the program. Inputs: HOST_TESTS and LIBRARY_TESTS (the test programs), QEMU (empty
# where qemu-x86_64 is not installed).

set(filter "--gtest_filter=GoldenDigest.*:HostEnvironment*:FlushBounds.*")

function(run name)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name}: the tests failed (${status}):\n${output}")
  endif()
  message(STATUS "${name}: passed")
endfunction()

foreach(tunables IN ITEMS "" "glibc.cpu.hwcaps=-AVX512F" "glibc.cpu.hwcaps=-AVX512F,-SSE4_1")
  foreach(tests IN ITEMS "${HOST_TESTS}" "${LIBRARY_TESTS}")
    run("GLIBC_TUNABLES=${tunables}"
      "${CMAKE_COMMAND}" -E env "GLIBC_TUNABLES=${tunables}" "${tests}" "${filter}")
  endforeach()
endforeach()

if(QEMU)
  foreach(tests IN ITEMS "${HOST_TESTS}" "${LIBRARY_TESTS}")
    # Death tests are left out: qemu does not raise floating-point traps.
    run("qemu-x86_64 -cpu Conroe" "${QEMU}" -cpu Conroe "${tests}"
      "--gtest_filter=GoldenDigest.*:HostEnvironment.*:FlushBounds.*")
  endforeach()
else()
  message(STATUS "no run under qemu-x86_64 (not installed, or the tests are built for a newer CPU)")
endif()
