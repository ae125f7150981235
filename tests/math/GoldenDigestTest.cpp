// One digest over the result bits of a fixed, generated workload through every math operation.
// The constant is the same on every target, compiler and flag set, and in every floating-point
// environment a host may leave the thread in: any result bit that changes anywhere changes it.
//
// These tests do no float arithmetic of their own (the generator's steps are exact, NaN is told by
// its bits), so they also prove the promise when built as a host with -ffast-math.

#include "Valgrind.h"
#include "math/FloatSupport.h"
#include "math/GoldenWorkload.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <xmmintrin.h>
#endif

namespace {

using OrvelTest::kGoldenDigest;
using OrvelTest::WorkloadDigest;

// The control register as a host sets it: FTZ and DAZ in MXCSR, FZ in FPCR or FPSCR. Written
// here with the hosts' own means, independently of the library's code for it.
// On x86 the host may itself be built for the x87 unit (32-bit code without -msse), while the
// library computes with SSE: MXCSR is there all the same.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
constexpr unsigned long long kControlBits = 0xFFC0u;  // all but the status flags
constexpr unsigned long long kFlushToZeroBit = 0x8000u, kDenormalsAreZeroBit = 0x0040u;
unsigned long long ReadRegister() {
  unsigned int mxcsr;
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  return mxcsr;
}
void WriteRegister(unsigned long long value) {
  const unsigned int mxcsr = static_cast<unsigned int>(value);
  __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}
#elif defined(_M_X64) || defined(_M_IX86)
constexpr unsigned long long kControlBits = 0xFFC0u;
constexpr unsigned long long kFlushToZeroBit = 0x8000u, kDenormalsAreZeroBit = 0x0040u;
unsigned long long ReadRegister() {
  return _mm_getcsr();
}
void WriteRegister(unsigned long long value) {
  _mm_setcsr(static_cast<unsigned>(value));
}
#elif defined(__aarch64__) && defined(__GNUC__)
constexpr unsigned long long kControlBits = ~0ull;  // FPCR holds no status
constexpr unsigned long long kFlushToZeroBit = 1u << 24, kDenormalsAreZeroBit = 0;
unsigned long long ReadRegister() {
  unsigned long long fpcr;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  return fpcr;
}
void WriteRegister(unsigned long long value) {
  __asm__ __volatile__("msr fpcr, %0" : : "r"(value));
}
#elif defined(__arm__) && defined(__ARM_FP) && defined(__GNUC__)
constexpr unsigned long long kControlBits = 0x07C09F00u;  // rounding, FZ, DN, trap enables
constexpr unsigned long long kFlushToZeroBit = 1u << 24, kDenormalsAreZeroBit = 0;
unsigned long long ReadRegister() {
  unsigned int fpscr;
  __asm__ __volatile__("vmrs %0, fpscr" : "=r"(fpscr));
  return fpscr;
}
void WriteRegister(unsigned long long value) {
  __asm__ __volatile__("vmsr fpscr, %0" : : "r"(static_cast<unsigned int>(value)));
}
#else
constexpr unsigned long long kControlBits = 0;
constexpr unsigned long long kFlushToZeroBit = 0, kDenormalsAreZeroBit = 0;
unsigned long long ReadRegister() {
  return 0;
}
void WriteRegister(unsigned long long) {}
#endif
constexpr unsigned long long kFlushToZeroBits = kFlushToZeroBit | kDenormalsAreZeroBit;
constexpr bool kHasFlushToZero = kFlushToZeroBits != 0;

unsigned long long ControlRegister() {
  return ReadRegister() & kControlBits;
}
// Sets the flush bits given (some of kFlushToZeroBits) and clears the others.
void SetFlushBits(unsigned long long bits) {
  WriteRegister((ReadRegister() & ~kFlushToZeroBits) | bits);
}

TEST(GoldenDigest, IsTheSameOnEveryTarget) {
#ifdef __FAST_MATH__
  // Linked with -ffast-math, this host starts with flush-to-zero on, which is what it is here for.
  EXPECT_EQ((ReadRegister() & kFlushToZeroBits) != 0, kHasFlushToZero)
      << "a -ffast-math host without flush-to-zero";
#endif
  const std::uint64_t digest = WorkloadDigest();
  EXPECT_EQ(digest, kGoldenDigest) << std::hex << "digest 0x" << digest;
}

// A control state a host may leave the thread in.
struct HostEnvironment {
  const char* name;
  int rounding;
  unsigned long long flushBits;  // some of kFlushToZeroBits
};

std::vector<HostEnvironment> HostEnvironments() {
  std::vector<HostEnvironment> all;
#ifdef FE_UPWARD
  all.push_back({"upward", FE_UPWARD, 0});
#endif
#ifdef FE_DOWNWARD
  all.push_back({"downward", FE_DOWNWARD, 0});
#endif
#ifdef FE_TOWARDZERO
  all.push_back({"toward zero", FE_TOWARDZERO, 0});
#endif
  if (kFlushToZeroBit) all.push_back({"flush to zero", FE_TONEAREST, kFlushToZeroBit});
  if (kDenormalsAreZeroBit)
    all.push_back({"denormals are zero", FE_TONEAREST, kDenormalsAreZeroBit});
#ifdef FE_UPWARD
  if (kHasFlushToZero) all.push_back({"all flush modes, upward", FE_UPWARD, kFlushToZeroBits});
#endif
  return all;
}

// Puts the thread in `environment` for as long as it lives; false from Entered() when the target
// has no such rounding mode (WebAssembly rounds to nearest only, and Emscripten's fesetround
// reports success all the same).
class InHostEnvironment {
 public:
  explicit InHostEnvironment(const HostEnvironment& environment)
      : entered_(std::fesetround(environment.rounding) == 0 &&
                 std::fegetround() == environment.rounding) {
    if (entered_) SetFlushBits(environment.flushBits);
  }
  ~InHostEnvironment() {
    SetFlushBits(0);
    (void)std::fesetround(FE_TONEAREST);
  }
  InHostEnvironment(const InHostEnvironment&) = delete;
  InHostEnvironment& operator=(const InHostEnvironment&) = delete;

  bool Entered() const { return entered_; }

 private:
  bool entered_;
};

TEST(GoldenDigest, IsTheSameInEveryFloatingPointEnvironment) {
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind models no floating-point environment";
  std::string skipped;
  for (const HostEnvironment& environment : HostEnvironments()) {
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

// A denormal result that flush-to-zero would lose, and the status flags: what the library's
// arithmetic raised is added to what the caller had raised, as after any default-environment
// function.
TEST(HostEnvironment, FlushToZeroGetsDenormalsAndKeepsTheRaisedFlags) {
  if (!kHasFlushToZero) GTEST_SKIP() << "this target has no flush-to-zero mode";
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind models no floating-point environment";
#if defined(FE_DIVBYZERO) && defined(FE_UNDERFLOW) && defined(FE_INEXACT)
  // Emscripten's C library has no status flags and names no exceptions; WebAssembly has no
  // flush-to-zero either, so it skipped above.
  InHostEnvironment host({"all flush modes", FE_TONEAREST, kFlushToZeroBits});
  std::feclearexcept(FE_ALL_EXCEPT);
  std::feraiseexcept(FE_DIVBYZERO);
  const float radians = OrvelMath::ToRadians(OrvelTest::FromBits(0x00000100u));
  const int flags = std::fetestexcept(FE_ALL_EXCEPT);
  std::feclearexcept(FE_ALL_EXCEPT);
  EXPECT_EQ(OrvelTest::Bits(radians), 0x00000004u);
  EXPECT_TRUE(flags & FE_DIVBYZERO) << "the caller's own flag was lost";
  EXPECT_TRUE(flags & FE_UNDERFLOW) << "the underflow the library raised is missing";
  EXPECT_TRUE(flags & FE_INEXACT) << "the inexact result the library raised is missing";
#endif
}

}  // namespace
