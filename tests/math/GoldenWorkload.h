#ifndef ORVEL_TESTS_MATH_GOLDEN_WORKLOAD_H
#define ORVEL_TESTS_MATH_GOLDEN_WORKLOAD_H

// A fixed, generated workload through every math operation, and one digest over its result bits.
// The golden-digest test and the browser check both run this one workload, so that they can
// never drift apart. It does no float arithmetic of its own (the generator's steps are exact), so a
// host built with -ffast-math gets the same digest. It hashes raw result bits, NaNs included.

#include <cstdint>

namespace OrvelTest {

// The digest on every target, compiler and flag set, in every floating-point environment.
constexpr std::uint64_t kGoldenDigest = 0x5B36F8EB3815B57Dull;

std::uint64_t WorkloadDigest();

}  // namespace OrvelTest

#endif  // ORVEL_TESTS_MATH_GOLDEN_WORKLOAD_H
