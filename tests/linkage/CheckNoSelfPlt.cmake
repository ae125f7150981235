# Fails when the shared library has a PLT entry for one of its own functions: every call through
# it is an indirect jump that a 3 ns operation cannot afford (an exported constructor called from
# a transform was one). Inputs: LIBRARY, OBJDUMP.

execute_process(
  COMMAND "${OBJDUMP}" -d "${LIBRARY}"
  OUTPUT_VARIABLE disassembly
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR disassembly STREQUAL "")
  message(FATAL_ERROR "could not disassemble ${LIBRARY}")
endif()

# Mangled names of OrvelMath and OrvelUtils members and functions all contain "Orvel". A call to
# one of the library's own indirect functions (the matrix members on x86-64 Linux) goes through a
# PLT entry named after the resolved address instead: *ABS*+0x...@plt.
string(REGEX MATCHALL "<([A-Za-z0-9_]*Orvel[A-Za-z0-9_]*|\\*ABS\\*\\+0x[0-9a-f]+)@plt>" entries
  "${disassembly}")
list(REMOVE_DUPLICATES entries)
if(entries)
  list(JOIN entries "\n  " entries)
  message(FATAL_ERROR "the library calls its own functions through the PLT:\n  ${entries}")
endif()
message(STATUS "no calls from the library to itself through the PLT")
