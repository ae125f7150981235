# Compares the demangled names a shared library exports with a list of expected names.
# Inputs: LIBRARY, EXPECTED, CXXFILT, and either NM (an ELF shared object: its defined dynamic
# symbols) or OBJDUMP (a Windows DLL: its export table).

cmake_minimum_required(VERSION 3.21)

if(NM)
  execute_process(
    COMMAND "${NM}" -D --defined-only --format=just-symbols "${LIBRARY}"
    OUTPUT_VARIABLE mangled
    RESULT_VARIABLE status)
else()
  execute_process(
    COMMAND "${OBJDUMP}" -p "${LIBRARY}"
    OUTPUT_VARIABLE dump
    RESULT_VARIABLE status)
  # The name table lists one "[ordinal] name" line per exported name and ends at a blank line.
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
  if(start EQUAL -1)
    set(dump "")
  else()
    string(SUBSTRING "${dump}" ${start} -1 dump)
  endif()
  string(REGEX REPLACE "\n\n.*" "" dump "${dump}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${dump}")
  list(TRANSFORM entries REPLACE "^\\[ *[0-9]+\\] " "")
  list(JOIN entries "\n" mangled)
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not read the exported names of ${LIBRARY}")
endif()

string(REPLACE "\n" ";" mangled "${mangled}")
list(FILTER mangled EXCLUDE REGEX "^$")
if(NOT mangled)
  message(FATAL_ERROR "${LIBRARY} exports nothing")
endif()
execute_process(
  COMMAND "${CXXFILT}" ${mangled}
  OUTPUT_VARIABLE symbols
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not demangle the exported names of ${LIBRARY}")
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
