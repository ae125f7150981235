// One digest over the result bits of a fixed, generated workload through every math operation.
// The constant is the same on every target, compiler and flag set, and in every floating-point
// environment a host may leave the thread in: any result bit that changes anywhere changes it.
//
// These tests do no float arithmetic of their own (the generator's steps are exact, NaN is told by
// its bits), so they also prove the promise when built as a host with -ffast-math.

#include "Valgrind.h"
#include "math/FloatSupport.h"
#include "math/GoldenWorkload.h"
#include "math/HostEnvironment.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using OrvelTest::ControlRegister;
using OrvelTest::HostEnvironment;
using OrvelTest::InHostEnvironment;
using OrvelTest::kFlushToZeroBits;
using OrvelTest::kGoldenDigest;
using OrvelTest::kHasFlushToZero;
using OrvelTest::WorkloadDigest;

TEST(GoldenDigest, IsTheSameOnEveryTarget) {
#ifdef __FAST_MATH__
  // Linked with -ffast-math, this host starts with flush-to-zero on, which is what it is here for.
  EXPECT_EQ((OrvelTest::ReadRegister() & kFlushToZeroBits) != 0, kHasFlushToZero)
      << "a -ffast-math host without flush-to-zero";
#endif
  const std::uint64_t digest = WorkloadDigest();
  EXPECT_EQ(digest, kGoldenDigest) << std::hex << "digest 0x" << digest;
}

TEST(GoldenDigest, IsTheSameInEveryFloatingPointEnvironment) {
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind models no floating-point environment";
  std::string skipped;
  for (const HostEnvironment& environment : OrvelTest::HostEnvironments()) {
    InHostEnvironment host(environment);
    if (!host.Entered()) {
      skipped += std::string(" ") + environment.name + ";";
      continue;
    }
    const int rounding = std::fegetround();
    const unsigned long long control = ControlRegister();
    const std::uint64_t digest = WorkloadDigest();
    // Read back before the guard restores anything, so a library that leaked its own state
    // would show here.
    EXPECT_EQ(std::fegetround(), rounding) << environment.name;
    EXPECT_EQ(ControlRegister(), control) << environment.name;
    EXPECT_EQ(digest, kGoldenDigest) << environment.name << std::hex << ": digest 0x" << digest;
  }
  if (!skipped.empty())
    std::printf("rounding modes this target refuses, not checked:%s\n", skipped.c_str());
}

// Under a flush mode, an operand that mode would act on sends the call through the switched
// environment. There a denormal result that flush-to-zero would lose comes out, the flags the
// library's arithmetic raised (an invalid operation among them) are added to the caller's, and a
// trap the caller enabled still fires.
#if defined(FE_DIVBYZERO) && defined(FE_UNDERFLOW) && defined(FE_INEXACT) && defined(FE_INVALID)
// Emscripten's C library has no status flags and names no exceptions; WebAssembly has no
// flush-to-zero either, so these tests would skip there anyway.
const OrvelTest::HostEnvironment kBothFlushModes = {"both flush modes", FE_TONEAREST,
                                                    kFlushToZeroBits};

// inf * 0 is invalid; the denormal beside it makes flush-to-zero matter to the call.
OrvelMath::Vector3f InvalidWhenScaledByZero() {
  return OrvelMath::Vector3f(std::numeric_limits<float>::infinity(), OrvelTest::FromBits(0x100u),
                             1.0f);
}

TEST(HostEnvironment, FlushToZeroGetsDenormalsAndKeepsTheRaisedFlags) {
  if (!kHasFlushToZero) GTEST_SKIP() << "this target has no flush-to-zero mode";
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind models no floating-point environment";
  InHostEnvironment host(kBothFlushModes);
  std::feclearexcept(FE_ALL_EXCEPT);
  std::feraiseexcept(FE_DIVBYZERO);
  const float radians = OrvelMath::ToRadians(OrvelTest::FromBits(0x00000100u));
  const int flags = std::fetestexcept(FE_ALL_EXCEPT);
  OrvelMath::Vector3f scaled = InvalidWhenScaledByZero();
  std::feclearexcept(FE_ALL_EXCEPT);
  scaled.Multiply(0.0f);
  const int invalid = std::fetestexcept(FE_INVALID);
  std::feclearexcept(FE_ALL_EXCEPT);
  EXPECT_EQ(OrvelTest::Bits(radians), 0x00000004u);
  EXPECT_TRUE(flags & FE_DIVBYZERO) << "the caller's own flag was lost";
  EXPECT_TRUE(flags & FE_UNDERFLOW) << "the underflow the library raised is missing";
  EXPECT_TRUE(flags & FE_INEXACT) << "the inexact result the library raised is missing";
  EXPECT_TRUE(invalid) << "the invalid operation the library raised is missing";
}

#if defined(__GLIBC__) && GTEST_HAS_DEATH_TEST
// A trap kills the program with SIGFPE, unless a sanitizer's runtime catches the signal: that
// reports an "FPE" and exits with a status of its own.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
bool DiedOfFloatingPointTrap(int status) {
  return !::testing::ExitedWithCode(0)(status);
}
constexpr const char* kTrapReport = "FPE";
#else
const ::testing::KilledBySignal DiedOfFloatingPointTrap(SIGFPE);
constexpr const char* kTrapReport = "";
#endif

TEST(HostEnvironmentDeathTest, TrapsTheCallerEnabledStayEnabled) {
  if (!kHasFlushToZero) GTEST_SKIP() << "this target has no flush-to-zero mode";
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind models no floating-point environment";
  if (feenableexcept(FE_INVALID) == -1) GTEST_SKIP() << "this FPU does not trap";
  fedisableexcept(FE_INVALID);
  OrvelMath::Vector3f scaled = InvalidWhenScaledByZero();
  EXPECT_EXIT(
      {
        InHostEnvironment host(kBothFlushModes);
        feenableexcept(FE_INVALID);
        scaled.Multiply(0.0f);
        std::_Exit(0);
      },
      DiedOfFloatingPointTrap, kTrapReport);
}
#endif
#endif

}  // namespace
