# Runs the demo and checks its exit status and its output (stdout and stderr together, so the
# check holds whatever the line endings). Inputs: DEMO, EMULATOR (empty unless cross-compiling),
# ARGS (a mesh and a picture), EXPECTED_STATUS, EXPECTED_OUTPUT (a regular expression), and
# optionally EXPECTED_PICTURE (a regular expression the picture must match) and SAME_AS (another
# mesh that must give the same digest and the same picture).
function(run_demo mesh picture)
  execute_process(
    COMMAND ${EMULATOR} "${DEMO}" "${mesh}" "${picture}"
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output
    RESULT_VARIABLE status)
  message("${output}")
  set(output "${output}" PARENT_SCOPE)
  set(status "${status}" PARENT_SCOPE)
endfunction()

list(GET ARGS 0 mesh)
list(GET ARGS 1 picture)
run_demo("${mesh}" "${picture}")
if(NOT status STREQUAL EXPECTED_STATUS)
  message(FATAL_ERROR "the demo ended with '${status}', expected exit status ${EXPECTED_STATUS}")
endif()
if(NOT output MATCHES "${EXPECTED_OUTPUT}")
  message(FATAL_ERROR "the demo's output does not match: ${EXPECTED_OUTPUT}")
endif()

if(EXPECTED_PICTURE)
  file(READ "${picture}" svg)
  if(NOT svg MATCHES "${EXPECTED_PICTURE}")
    message(FATAL_ERROR "the picture does not match: ${EXPECTED_PICTURE}")
  endif()
endif()

if(SAME_AS)
  string(REGEX MATCH "digest: [^\r\n]*" digest "${output}")
  run_demo("${SAME_AS}" "${picture}.same-as.svg")
  string(REGEX MATCH "digest: [^\r\n]*" same_digest "${output}")
  if(NOT status EQUAL 0 OR NOT digest STREQUAL same_digest)
    message(FATAL_ERROR "${SAME_AS} gives another digest")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${picture}" "${picture}.same-as.svg"
    RESULT_VARIABLE different)
  if(different)
    message(FATAL_ERROR "${SAME_AS} gives another picture")
  endif()
endif()
