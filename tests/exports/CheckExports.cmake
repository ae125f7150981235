# Compares the demangled dynamic symbols a library defines with a list of expected names.
# Inputs: LIBRARY, NM, CXXFILT, EXPECTED.

execute_process(
  COMMAND "${NM}" -D --defined-only --format=just-symbols "${LIBRARY}"
  COMMAND "${CXXFILT}"
  OUTPUT_VARIABLE symbols
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not read the dynamic symbols of ${LIBRARY}")
endif()

string(REPLACE "\n" ";" actual "${symbols}")
list(FILTER actual EXCLUDE REGEX "^$")
list(REMOVE_DUPLICATES actual)  # complete and base-object constructors demangle alike
list(SORT actual)

file(STRINGS "${EXPECTED}" expected)
list(FILTER expected EXCLUDE REGEX "^(#.*)?$")
list(SORT expected)

set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(extra ${actual})
list(REMOVE_ITEM extra ${expected})

list(LENGTH actual count)
if(missing OR extra)
  list(JOIN missing "\n  " missing)
  list(JOIN extra "\n  " extra)
  message(FATAL_ERROR "exports differ from the expected list\nmissing:\n  ${missing}\nextra:\n  ${extra}")
endif()
message(STATUS "${count} exported names, as expected")
