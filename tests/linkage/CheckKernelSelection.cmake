# Each matrix member of the library is an indirect function: the dynamic linker enters the Avx
# kernel set where the process may use AVX and the Simd set otherwise. The matrix tests run twice
# through the exported members, once as this machine is and once with AVX masked through glibc's
# tunables, and each run must enter the set it should; the sets entered are shown, so that a
# selection fault can't hide behind the baseline. The tests bind every symbol at start-up
# (LD_BIND_NOW), so the resolvers run while the test program is relocated, before any constructor,
# as they do for hosts linked with -z now. Inputs: LIBRARY, PROBE, TESTS (a list), NM.

execute_process(
  COMMAND "${NM}" --demangle --defined-only "${LIBRARY}"
  OUTPUT_VARIABLE symbols
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not read the symbols of ${LIBRARY}")
endif()
# Linux lists avx among a CPU's flags only when the kernel saves the AVX registers.
file(STRINGS /proc/cpuinfo avx_flags REGEX "^flags[ \t]*:.* avx( |$)" LIMIT_COUNT 1)

# The matrix members, as exported and as named here.
set(member_symbols
  _ZN9OrvelMath7Matrix48MultiplyERKS0_ _ZN9OrvelMath7Matrix4mLERKS0_
  _ZNK9OrvelMath7Matrix48MultiplyERKNS_8Vector4fE _ZNK9OrvelMath7Matrix48MultiplyERKNS_8Vector3fE)
set(member_names
  "Matrix4::Multiply(const Matrix4&)" "Matrix4::operator*=(const Matrix4&)"
  "Matrix4::Multiply(const Vector4f&)" "Matrix4::Multiply(const Vector3f&)")

include("${CMAKE_CURRENT_LIST_DIR}/EntryProbe.cmake")

function(check_run name tunables expected)
  entered(pairs "${symbols}"
    "${CMAKE_COMMAND}" -E env "GLIBC_TUNABLES=${tunables}" "${PROBE}" "${LIBRARY}" ${member_symbols})
  foreach(pair IN LISTS pairs)
    string(REGEX MATCH "^([^=]*)=(.*)$" _ "${pair}")
    set(function "${CMAKE_MATCH_2}")
    list(FIND member_symbols "${CMAKE_MATCH_1}" index)
    list(GET member_names ${index} member)
    if(function MATCHES "Avx")
      set(set Avx)
    elseif(function MATCHES "Kernels::Simd")
      set(set Simd)
    else()
      set(set "an unknown entry (${function})")
    endif()
    message(STATUS "${name}: ${member} enters ${set}")
    if(NOT set STREQUAL expected)
      message(FATAL_ERROR "${name}: ${member} should enter ${expected}")
    endif()
  endforeach()
  foreach(tests IN LISTS TESTS)
    execute_process(
      COMMAND "${CMAKE_COMMAND}" -E env "GLIBC_TUNABLES=${tunables}" LD_BIND_NOW=1 "${tests}"
        "--gtest_filter=MatrixSweep.*:Matrix4.*:GoldenDigest.*:HostEnvironment.*"
      OUTPUT_VARIABLE output
      ERROR_VARIABLE output
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${name}: the matrix tests failed through ${expected}:\n${output}")
    endif()
  endforeach()
  message(STATUS "${name}: the matrix tests pass through ${expected}")
endfunction()

if(avx_flags)
  check_run("AVX usable" "" Avx)
else()
  message(STATUS "this machine has no AVX: only the Simd entries can be checked")
endif()
check_run("AVX masked" "glibc.cpu.hwcaps=-AVX" Simd)
