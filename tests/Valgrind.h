#ifndef ORVEL_TESTS_VALGRIND_H
#define ORVEL_TESTS_VALGRIND_H

// Whether valgrind runs this program. Tests that valgrind can't serve skip themselves, saying
// why: its CPU keeps no floating-point control modes or status flags, its allocator aborts where
// operator new would throw, and it makes the program's system calls itself.

#include <cstdlib>
#include <cstring>

namespace OrvelTest {

// Valgrind preloads its own libraries (vgpreload_*.so) into the program it runs.
inline bool UnderValgrind() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload != nullptr && std::strstr(preload, "vgpreload") != nullptr;
}

}  // namespace OrvelTest

#endif  // ORVEL_TESTS_VALGRIND_H
