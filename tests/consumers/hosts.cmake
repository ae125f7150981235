# The two host programs every consumer project builds, linked to Orvel::OrvelLib:
# - host includes OrvelLib's headers as <math/...> and <utils/...>;
# - shadowed-host has a math/Vector.h of its own on its include path (host-include), searched
#   before OrvelLib's, and includes OrvelLib's headers as <OrvelLib/...>.
add_executable(host "${CMAKE_CURRENT_LIST_DIR}/host.cpp")
target_link_libraries(host PRIVATE Orvel::OrvelLib)

add_executable(shadowed-host "${CMAKE_CURRENT_LIST_DIR}/shadowed-host.cpp")
target_include_directories(shadowed-host PRIVATE "${CMAKE_CURRENT_LIST_DIR}/host-include")
target_link_libraries(shadowed-host PRIVATE Orvel::OrvelLib)

# Each exits 0 only when every library call gave the known answer; any non-empty text file serves
# as the file to read.
enable_testing()
foreach(host IN ITEMS host shadowed-host)
  add_test(NAME ${host} COMMAND ${host} "${CMAKE_CURRENT_LIST_DIR}/host.cpp")
endforeach()
