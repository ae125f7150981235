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
#include <cinttypes>
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
  std::printf("golden digest 0x%016" PRIX64 "\n", digest);
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

// Every operation on operands whose results are exact, in every vector size.
template <typename V>
void ExactVectorOperations(V v, const V& other) {
  v.Add(other).Subtract(other).Multiply(2.0f);
  (void)v.DotProduct(v);
  (void)(v == other);
}
void ExactOperations() {
  using OrvelMath::Vector4f;
  ExactVectorOperations(OrvelMath::Vector2f(1.0f, 2.0f), OrvelMath::Vector2f(3.0f, -4.0f));
  ExactVectorOperations(OrvelMath::Vector3f(1.0f, 2.0f, 3.0f),
                        OrvelMath::Vector3f(3.0f, -4.0f, 5.0f));
  ExactVectorOperations(Vector4f(1.0f, 2.0f, 3.0f, 4.0f), Vector4f(3.0f, -4.0f, 5.0f, 0.5f));
  OrvelMath::Matrix4 m(2.0f);
  m.m[12] = 1.0f;
  m.Multiply(OrvelMath::Matrix4(1.0f)) *= m;
  (void)m.Multiply(Vector4f(1.0f, 2.0f, 3.0f, 4.0f));
  (void)m.Multiply(OrvelMath::Vector3f(1.0f, 2.0f, 3.0f));
  (void)OrvelMath::ToRadians(0.0f);
}

// What the library does to tell the thread's state raises nothing of its own: exact operations
// leave every status flag clear, x86's denormal flag included, in every state.
TEST(HostEnvironment, ExactOperationsRaiseNoFlag) {
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind models no floating-point environment";
  std::vector<HostEnvironment> environments = {{"the default state", FE_TONEAREST, 0}};
  for (const HostEnvironment& environment : OrvelTest::HostEnvironments())
    environments.push_back(environment);
  for (const HostEnvironment& environment : environments) {
    InHostEnvironment host(environment);
    if (!host.Entered()) continue;
    OrvelTest::ClearFlags();
    ExactOperations();
    const unsigned long long raised = OrvelTest::RaisedFlags();
    EXPECT_EQ(raised, 0u) << environment.name << std::hex << ": flags 0x" << raised;
  }
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
  OrvelTest::ClearFlags();
  std::feraiseexcept(FE_DIVBYZERO);
  const float radians = OrvelMath::ToRadians(OrvelTest::FromBits(0x00000100u));
  const unsigned long long flags = OrvelTest::RaisedFlags();
  OrvelMath::Vector3f scaled = InvalidWhenScaledByZero();
  OrvelTest::ClearFlags();
  scaled.Multiply(0.0f);
  const unsigned long long invalid = OrvelTest::RaisedFlags() & FE_INVALID;
  OrvelTest::ClearFlags();
  EXPECT_EQ(OrvelTest::Bits(radians), 0x00000004u);
  EXPECT_TRUE(flags & FE_DIVBYZERO) << "the caller's own flag was lost";
  EXPECT_TRUE(flags & FE_UNDERFLOW) << "the underflow the library raised is missing";
  EXPECT_TRUE(flags & FE_INEXACT) << "the inexact result the library raised is missing";
  if (OrvelTest::DenormalOperandsRaiseTheirFlag()) {
    EXPECT_TRUE(flags & OrvelTest::kDenormalFlag)
        << "the denormal operand the library read is missing";
  } else if (OrvelTest::kDenormalFlag != 0) {
    std::printf("this CPU raises no denormal flag (user-mode QEMU?): not checked\n");
  }
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
  if (!OrvelTest::FloatingPointTrapsFire())
    GTEST_SKIP() << "this platform delivers no floating-point traps: user-mode QEMU?";
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
