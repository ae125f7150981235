# The floating-point environment guard takes its common path by what the CPU has: the AVX-512
# state probe, the SSE4.1 rounding probe with the operand check, or neither and a read of MXCSR.
# The tests that set every host state run down each path here: natively, with glibc's tunables
# masking what the CPU has, and under qemu-x86_64 as CPUs without what this one has, where an
# instruction the model lacks kills the program: a Core 2 (Conroe: no SSE4.1), a Nehalem (SSE4.1,
# no AVX) and a Haswell (AVX2, no AVX-512). Each run first asks glibc what it finds usable there
# (ld.so --list-diagnostics, whatever the mask or the model did), which says the path every
# exported operation must enter, and a probe reads the entry the dynamic linker picked for each:
# a wrong choice either dies of an instruction the CPU lacks or, on a slower path, gives the right
# bits and would go unnoticed otherwise.
# Inputs: HOST_TESTS and LIBRARY_TESTS (the test programs), LIBRARY, PROBE, NM, and QEMU (empty
# where qemu-x86_64 is not installed or the tests are built for a newer CPU).

set(filter "--gtest_filter=GoldenDigest.*:HostEnvironment*:FlushBounds.*")
# Under qemu, about thirty times slower, the golden workload runs in the default state only, and
# the sweep of every operation in every host state is left to the native runs, which take the
# same paths.
set(qemu_filter "--gtest_filter=GoldenDigest.IsTheSameOnEveryTarget:HostEnvironment*:\
FlushBounds.TheFirstCallSettlesTheGuardsPath")
set(loader /lib64/ld-linux-x86-64.so.2)

# Every exported operation is an indirect function; the entries are named by the path they are on.
execute_process(COMMAND "${NM}" --dynamic --defined-only "${LIBRARY}" OUTPUT_VARIABLE exported)
string(REGEX MATCHALL "[0-9a-f]+ i [^\n]+" chosen "${exported}")
list(TRANSFORM chosen REPLACE "^[0-9a-f]+ i " "")
list(LENGTH chosen count)
if(count EQUAL 0)
  message(FATAL_ERROR "${LIBRARY} exports no indirect functions")
endif()
execute_process(COMMAND "${NM}" --demangle --defined-only "${LIBRARY}" OUTPUT_VARIABLE symbols)
include("${CMAKE_CURRENT_LIST_DIR}/EntryProbe.cmake")
set(path_names "the control register" "the SSE4.1 rounding probe with the operand check"
  "the AVX-512 state probe")

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
  # Path values as in lib/math/detail/EnvironmentProbes.h: 1 register, 2 rounding, 3 state.
  if(avx512 AND avx AND sse41)
    set(expected 3)
  elseif(sse41)
    set(expected 2)
  else()
    set(expected 1)
  endif()
  math(EXPR index "${expected} - 1")
  list(GET path_names ${index} path)

  entered(pairs "${symbols}" ${env} "${PROBE}" "${LIBRARY}" ${chosen})
  foreach(pair IN LISTS pairs)
    string(REGEX MATCH "^([^=]*)=.*Environment::Path\\)([0-9])" _ "${pair}")
    if(NOT CMAKE_MATCH_2 STREQUAL expected)
      message(FATAL_ERROR "${name}: glibc reports SSE4.1 ${sse41}, AVX ${avx}, AVX-512F "
        "${avx512}, so ${pair} should be the copy for ${path}")
    endif()
  endforeach()
  foreach(tests IN ITEMS "${HOST_TESTS}" "${LIBRARY_TESTS}")
    execute_process(COMMAND ${env} "${tests}" "${filter}"
      RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${name}, through ${path}: the tests failed (${status}):\n${output}")
    endif()
  endforeach()
  message(STATUS "${name}: ${count} operations enter ${path}, and the tests pass")
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
foreach(path IN LISTS path_names)
  list(FIND paths_run "${path}" index)
  if(index EQUAL -1)
    message(STATUS "not run on this machine: ${path}")
  endif()
endforeach()
