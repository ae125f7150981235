// One digest over the result bits of a fixed, generated workload through every math operation.
// The constant is the same on every target, compiler and flag set, and in every floating-point
// environment a host may leave the thread in: any result bit that changes anywhere changes it.
//
// These tests do no float arithmetic of their own (the generator's steps are exact, NaN is told by
// its bits), so they also prove the promise when built as a host with -ffast-math.

#include "Valgrind.h"
#include "math/FloatSupport.h"

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

using OrvelMath::Matrix4;
using OrvelMath::Vector2f;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;
using OrvelTest::Random;

constexpr int kRounds = 20000;
constexpr std::uint64_t kGoldenDigest = 0x8CDDF48973CBCDC4ull;

// 64-bit FNV-1a over 32-bit words, low byte first.
class Digest {
 public:
  void AddWord(std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) {
      hash_ ^= (word >> shift) & 0xFFu;
      hash_ *= 0x100000001B3ull;
    }
  }
  // NaN payloads and signs differ between instruction sets; every NaN counts as one pattern.
  void AddFloat(float f) { AddWord(OrvelTest::IsNaN(f) ? 0x7FC00000u : OrvelTest::Bits(f)); }
  void AddBool(bool b) { AddWord(b ? 1u : 0u); }
  template <typename V>
  void AddVector(const V& v) {
    for (float c : OrvelTest::VectorTraits<V>::Get(v)) AddFloat(c);
  }
  void AddMatrix(const Matrix4& m) {
    for (float e : m.m) AddFloat(e);
  }

  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

// Each round chains the operations, so a result feeds the next operation.
template <typename V>
void VectorWorkload(Random& random, Digest& digest) {
  for (int n = 0; n < kRounds; ++n) {
    V a = OrvelTest::RandomVector<V>(random);
    const V b = OrvelTest::RandomVector<V>(random);
    const float s = random.InterestingFloat();
    V v = a;
    digest.AddVector(v.Add(b));
    digest.AddVector(v.Subtract(a));
    digest.AddVector(v.Multiply(s));
    digest.AddFloat(v.DotProduct(b));
    digest.AddFloat(a.DotProduct(a));
    digest.AddVector(v += a);
    digest.AddVector(v -= b);
    digest.AddVector(v *= s);
    digest.AddBool(v == a);
    digest.AddBool(v != a);
    digest.AddBool(a == a);
    digest.AddBool(a != a);
  }
}

void MatrixWorkload(Random& random, Digest& digest) {
  for (int n = 0; n < kRounds; ++n) {
    const Matrix4 a = OrvelTest::RandomMatrix(random);
    const Matrix4 b = OrvelTest::RandomMatrix(random);
    const Vector4f v = OrvelTest::RandomVector<Vector4f>(random);
    Matrix4 m = a;
    digest.AddMatrix(m.Multiply(b));
    digest.AddMatrix(m *= a);
    digest.AddMatrix(m.Multiply(m));
    digest.AddVector(a.Multiply(v));
    digest.AddVector(a.Multiply(Vector3f(v.x, v.y, v.z)));
    Matrix4 diagonal(random.InterestingFloat());
    digest.AddMatrix(diagonal.Multiply(b));
    digest.AddFloat(OrvelMath::ToRadians(random.InterestingFloat()));
  }
}

std::uint64_t WorkloadDigest() {
  Random random(0x600D5EEDu);
  Digest digest;
  VectorWorkload<Vector2f>(random, digest);
  VectorWorkload<Vector3f>(random, digest);
  VectorWorkload<Vector4f>(random, digest);
  MatrixWorkload(random, digest);
  return digest.value();
}

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
