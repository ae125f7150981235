# entered(<result> <symbols> <probe command>...): runs the entry probe (EntryProbe.cpp) as the
# command given and sets <result> to a list of "<symbol>=<entry>": each exported symbol the probe
# was given, with the function the dynamic linker entered for it, named as <symbols> (the output
# of nm --demangle for the library) names it.
function(entered result symbols)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE lines RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the entry probe failed (${status})")
  endif()
  string(REGEX MATCHALL "[0-9a-f]+ [^\n]+" lines "${lines}")
  set(pairs)
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^([0-9a-f]+) (.*)$" _ "${line}")
    set(symbol "${CMAKE_MATCH_2}")
    string(REGEX MATCH "\n${CMAKE_MATCH_1} [tTwW] ([^\n]*)" _ "\n${symbols}")
    list(APPEND pairs "${symbol}=${CMAKE_MATCH_1}")
  endforeach()
  set(${result} "${pairs}" PARENT_SCOPE)
endfunction()
