# Runs the demo and checks its exit status and its output (stdout and stderr together, so the
# check holds whatever the line endings). Inputs: DEMO, EMULATOR (empty unless cross-compiling),
# ARGS, EXPECTED_STATUS, EXPECTED_OUTPUT (a regular expression).
execute_process(
  COMMAND ${EMULATOR} "${DEMO}" ${ARGS}
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output
  RESULT_VARIABLE status)
message("${output}")
if(NOT status STREQUAL EXPECTED_STATUS)
  message(FATAL_ERROR "the demo ended with '${status}', expected exit status ${EXPECTED_STATUS}")
endif()
if(NOT output MATCHES "${EXPECTED_OUTPUT}")
  message(FATAL_ERROR "the demo's output does not match: ${EXPECTED_OUTPUT}")
endif()
