#ifndef ORVEL_TESTS_MATH_KERNEL_SETS_H
#define ORVEL_TESTS_MATH_KERNEL_SETS_H

// The library's private kernel sets, reached through function pointers so that the tests can check
// each one on its own, including sets the library doesn't pick on this machine. KernelSets.cpp
// compiles them with the library's own strict flags, whatever flags the test sources use.

#include <math/Vector.h>

#include <ostream>
#include <vector>

namespace OrvelTest {

struct KernelSet {
  const char* name;
  // Whether this machine can run the set (its instruction set is there and enabled).
  bool available;
  // Matrices are 16 column-major floats with float alignment; r may be a or b.
  void (*product)(const float* a, const float* b, float* r);
  OrvelMath::Vector4f (*transform)(const float* m, const OrvelMath::Vector4f& v);
  OrvelMath::Vector3f (*transformPoint)(const float* m, const OrvelMath::Vector3f& p);
};

// Every set this target compiles, scalar first.
std::vector<KernelSet> KernelSets();

// Where the environment guard asks the CPU for its path (builds that don't choose it when the
// library is loaded, and the library's kAsked copies): the path settled on after a first call, and
// this CPU's path, as numbers of Environment::Path; both 0 where the guard has no probes.
struct AskedPath {
  int settled;
  int ofThisCpu;
};
AskedPath GuardPathAfterAFirstCall();

// How GoogleTest names a set in its output.
inline void PrintTo(const KernelSet& set, std::ostream* out) {
  *out << set.name;
}

}  // namespace OrvelTest

#endif  // ORVEL_TESTS_MATH_KERNEL_SETS_H
