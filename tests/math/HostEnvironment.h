#ifndef ORVEL_TESTS_MATH_HOST_ENVIRONMENT_H
#define ORVEL_TESTS_MATH_HOST_ENVIRONMENT_H

// The floating-point control states a host may leave a thread in, set with the hosts' own means,
// independently of the library's code for it: a directed rounding mode through <cfenv>, and
// flush-to-zero and denormals-are-zero in MXCSR, FPCR or FPSCR. Tests that set them do no float
// arithmetic while they are set, so what they check is the library's.

#include <cfenv>
#include <vector>

namespace OrvelTest {

// On x86 the host may itself be built for the x87 unit (32-bit code without -msse), while the
// library computes with SSE: MXCSR is there all the same, and asm reaches it from any such host.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
constexpr unsigned long long kControlBits = 0xFFC0u;  // all but the status flags
constexpr unsigned long long kFlushToZeroBit = 0x8000u, kDenormalsAreZeroBit = 0x0040u;
inline unsigned long long ReadRegister() {
  unsigned int mxcsr;
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  return mxcsr;
}
inline void WriteRegister(unsigned long long value) {
  const unsigned int mxcsr = static_cast<unsigned int>(value);
  __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}
#elif defined(__aarch64__) && defined(__GNUC__)
constexpr unsigned long long kControlBits = ~0ull;  // FPCR holds no status
constexpr unsigned long long kFlushToZeroBit = 1u << 24, kDenormalsAreZeroBit = 0;
inline unsigned long long ReadRegister() {
  unsigned long long fpcr;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
  return fpcr;
}
inline void WriteRegister(unsigned long long value) {
  __asm__ __volatile__("msr fpcr, %0" : : "r"(value));
}
#elif defined(__arm__) && defined(__ARM_FP) && defined(__GNUC__)
constexpr unsigned long long kControlBits = 0x07C09F00u;  // rounding, FZ, DN, trap enables
constexpr unsigned long long kFlushToZeroBit = 1u << 24, kDenormalsAreZeroBit = 0;
inline unsigned long long ReadRegister() {
  unsigned int fpscr;
  __asm__ __volatile__("vmrs %0, fpscr" : "=r"(fpscr));
  return fpscr;
}
inline void WriteRegister(unsigned long long value) {
  __asm__ __volatile__("vmsr fpscr, %0" : : "r"(static_cast<unsigned int>(value)));
}
#else
// Targets without flush modes (and compilers these tests don't reach the register with): the
// rounding modes only.
constexpr unsigned long long kControlBits = 0;
constexpr unsigned long long kFlushToZeroBit = 0, kDenormalsAreZeroBit = 0;
inline unsigned long long ReadRegister() {
  return 0;
}
inline void WriteRegister(unsigned long long) {}
#endif
constexpr unsigned long long kFlushToZeroBits = kFlushToZeroBit | kDenormalsAreZeroBit;
constexpr bool kHasFlushToZero = kFlushToZeroBits != 0;

inline unsigned long long ControlRegister() {
  return ReadRegister() & kControlBits;
}
// Sets the flush bits given (some of kFlushToZeroBits) and clears the others.
inline void SetFlushBits(unsigned long long bits) {
  WriteRegister((ReadRegister() & ~kFlushToZeroBits) | bits);
}

// A control state a host may leave the thread in.
struct HostEnvironment {
  const char* name;
  int rounding;
  unsigned long long flushBits;  // some of kFlushToZeroBits
};

// Each directed rounding mode, each flush mode alone and together, and all of them at once.
inline std::vector<HostEnvironment> HostEnvironments() {
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
  if (kDenormalsAreZeroBit) {
    all.push_back({"denormals are zero", FE_TONEAREST, kDenormalsAreZeroBit});
    all.push_back({"both flush modes", FE_TONEAREST, kFlushToZeroBits});
  }
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

}  // namespace OrvelTest

#endif  // ORVEL_TESTS_MATH_HOST_ENVIRONMENT_H
