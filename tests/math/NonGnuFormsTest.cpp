// The environment guard as compilers other than GCC and Clang get it (MSVC): no asm, so no probes
// and no pins, and plain forms of the branch hints. Compiled here by GCC or Clang, in a program of
// its own, so that these forms build on every leg and do what they say where a compiler's
// ordering can't matter: the common path computes, and the switched path enters the default
// state and hands the caller's state back. (MSVC keeps float arithmetic in place around
// _mm_setcsr under its fenv_access pragma; no compiler here can show that.)

#define ORVEL_MATH_NON_GNU_FORMS 1
#include "math/detail/FloatEnvironment.h"

#include "math/FloatSupport.h"
#include "math/HostEnvironment.h"

#include <gtest/gtest.h>

namespace {

namespace Environment = OrvelMath::Environment;

#if defined(ORVEL_MATH_GNU_FORMS) || defined(ORVEL_MATH_ENVIRONMENT_PROBES)
#error "ORVEL_MATH_NON_GNU_FORMS must leave out the GNU forms"
#endif

TEST(NonGnuForms, TheCommonPathComputes) {
  const float degrees = 180.0f;
  const float radians = Environment::InDefaultEnvironment<Environment::Least::kForToRadians>(
      [degrees] { return degrees * 0x1.1df46ap-6f; }, degrees);
  EXPECT_EQ(OrvelTest::Bits(radians), 0x40490FDBu);  // the float nearest pi
}

TEST(NonGnuForms, TheSwitchedPathEntersTheDefaultStateAndLeavesTheCallers) {
  for (const OrvelTest::HostEnvironment& environment : OrvelTest::HostEnvironments()) {
    OrvelTest::InHostEnvironment host(environment);
    if (!host.Entered()) continue;
    const unsigned long long caller = OrvelTest::ControlRegister();
    const Environment::State inside =
        Environment::InAnyEnvironment([] { return Environment::Read(); });
    EXPECT_TRUE(Environment::IsDefault(inside)) << environment.name;
    EXPECT_EQ(OrvelTest::ControlRegister(), caller) << environment.name;
    EXPECT_EQ(std::fegetround(), environment.rounding) << environment.name;
  }
}

}  // namespace
