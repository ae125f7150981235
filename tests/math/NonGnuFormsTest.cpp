// The environment guard as compilers other than GCC and Clang get it (MSVC): no asm, so no probes
// and no pins, and plain forms of the branch hints. Compiled here by GCC or Clang, in a program of
// its own, so that these forms build on every leg and do what they say where a compiler's
// ordering can't matter: the common path computes, only where the caller's state can't change a
// result, and the switched path enters the default state and hands the caller's state back. (MSVC
// keeps float arithmetic in place around _mm_setcsr under its fenv_access pragma; no compiler here
// can show that.)

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

// An operation here reports whether it ran in the default state. It must, under a directed
// rounding mode, and under a flush mode whenever one operand is below the bound: each lane of
// operands of every size is tried alone, with the others at the bound.
TEST(NonGnuForms, TheCommonPathComputesOnlyWhereTheStateCannotMatter) {
  constexpr std::uint32_t kLeast = Environment::Least::kForProducts;
  const float at = OrvelTest::FromBits(kLeast), below = OrvelTest::FromBits(kLeast - 1);
  const auto computesInDefaultState = [](const auto&... operands) {
    return Environment::InDefaultEnvironment<kLeast>([] { return OrvelTest::InDefaultState(); },
                                                     operands...);
  };
  for (const OrvelTest::HostEnvironment& environment : OrvelTest::HostEnvironments()) {
    OrvelTest::InHostEnvironment host(environment);
    if (!host.Entered()) continue;
    if (environment.rounding != FE_TONEAREST) {
      EXPECT_TRUE(computesInDefaultState(OrvelMath::Vector4f(at, at, at, at), at))
          << environment.name;
    }
    EXPECT_TRUE(computesInDefaultState(below)) << environment.name;
    for (int lane = 0; lane < 4; ++lane) {
      float c[4] = {at, at, at, at};
      c[lane] = below;
      EXPECT_TRUE(computesInDefaultState(OrvelMath::Vector4f(c[0], c[1], c[2], c[3])))
          << environment.name << ", lane " << lane << " of 4";
      if (lane < 3) {
        EXPECT_TRUE(computesInDefaultState(OrvelMath::Vector3f(c[0], c[1], c[2])))
            << environment.name << ", lane " << lane << " of 3";
      }
      if (lane < 2) {
        EXPECT_TRUE(computesInDefaultState(OrvelMath::Vector2f(c[0], c[1])))
            << environment.name << ", lane " << lane << " of 2";
      }
    }
  }
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
