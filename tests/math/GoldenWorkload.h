#ifndef ORVEL_TESTS_MATH_GOLDEN_WORKLOAD_H
#define ORVEL_TESTS_MATH_GOLDEN_WORKLOAD_H

// A fixed, generated workload through every math operation, and one digest over its result bits.
// The golden-digest test and the browser check both run this one workload, so that they can
// never drift apart. It does no float arithmetic of its own (the generator's steps are exact, NaN
// is told by its bits), so a host built with -ffast-math gets the same digest.

#include <cstdint>

namespace OrvelTest {

// The digest on every target, compiler and flag set, in every floating-point environment.
constexpr std::uint64_t kGoldenDigest = 0x8CDDF48973CBCDC4ull;

std::uint64_t WorkloadDigest();

}  // namespace OrvelTest

#endif  // ORVEL_TESTS_MATH_GOLDEN_WORKLOAD_H
