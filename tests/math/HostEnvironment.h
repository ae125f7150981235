#ifndef ORVEL_TESTS_MATH_HOST_ENVIRONMENT_H
#define ORVEL_TESTS_MATH_HOST_ENVIRONMENT_H

// The floating-point control states a host may leave a thread in, set with the hosts' own means,
// independently of the library's code for it: a directed rounding mode through <cfenv>, and
// flush-to-zero and denormals-are-zero in MXCSR, FPCR or FPSCR. Tests that set them do no float
// arithmetic while they are set, so what they check is the library's.

#include <cfenv>
#include <limits>
#include <vector>

#if defined(__GLIBC__)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace OrvelTest {

// On x86 the host may itself be built for the x87 unit (32-bit code without -msse), while the
// library computes with SSE: MXCSR is there all the same, and asm reaches it from any such host.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ORVEL_TESTS_MXCSR 1
constexpr unsigned long long kControlBits = 0xFFC0u;  // all but the status flags
constexpr unsigned long long kFlushToZeroBit = 0x8000u, kDenormalsAreZeroBit = 0x0040u;
constexpr unsigned long long kRoundingBits = 0x6000u;
// All six: invalid, denormal (x86's own, which <cfenv> doesn't name), divide by zero, overflow,
// underflow, inexact.
constexpr unsigned long long kFlagBits = 0x003Fu;
constexpr unsigned long long kDenormalFlag = 0x0002u;
inline unsigned long long ReadRegister() {
  unsigned int mxcsr;
  __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr));
  return mxcsr;
}
inline void WriteRegister(unsigned long long value) {
  const unsigned int mxcsr = static_cast<unsigned int>(value);
  __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}
// The control experiment for the denormal flag, which user-mode QEMU never raises: an SSE addition
// of a denormal in the default state, wherever the host's own code computes.
__attribute__((target("sse2"))) inline bool DenormalOperandsRaiseTheirFlag() {
  const unsigned long long saved = ReadRegister();
  WriteRegister(saved & ~(kFlagBits | kFlushToZeroBit | kDenormalsAreZeroBit | kRoundingBits));
  float denormal = std::numeric_limits<float>::denorm_min();
  __asm__ __volatile__("addss %0, %0" : "+x"(denormal));
  const bool raised = (ReadRegister() & kDenormalFlag) != 0;
  WriteRegister(saved);
  return raised;
}
#elif defined(__aarch64__) && defined(__GNUC__)
constexpr unsigned long long kControlBits = ~0ull;  // FPCR holds no status
constexpr unsigned long long kFlushToZeroBit = 1u << 24, kDenormalsAreZeroBit = 0;
constexpr unsigned long long kRoundingBits = 3u << 22;
constexpr unsigned long long kFlagBits = 0, kDenormalFlag = 0;  // in FPSR: <cfenv> reads them
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
constexpr unsigned long long kRoundingBits = 3u << 22;
// The cumulative flags; its input-denormal flag is raised only when flushing, which the library's
// arithmetic never does.
constexpr unsigned long long kFlagBits = 0x9Fu, kDenormalFlag = 0;
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
constexpr unsigned long long kRoundingBits = 0, kFlagBits = 0, kDenormalFlag = 0;
inline unsigned long long ReadRegister() {
  return 0;
}
inline void WriteRegister(unsigned long long) {}
#endif
constexpr unsigned long long kFlushToZeroBits = kFlushToZeroBit | kDenormalsAreZeroBit;
constexpr bool kHasFlushToZero = kFlushToZeroBits != 0;
#if !defined(ORVEL_TESTS_MXCSR)
inline bool DenormalOperandsRaiseTheirFlag() {
  return false;  // no such flag outside x86
}
#endif

inline unsigned long long ControlRegister() {
  return ReadRegister() & kControlBits;
}
// Sets the flush bits given (some of kFlushToZeroBits) and clears the others.
inline void SetFlushBits(unsigned long long bits) {
  WriteRegister((ReadRegister() & ~kFlushToZeroBits) | bits);
}

// The thread's state as the arithmetic sees it: rounding to nearest, and neither flush mode on.
// On x86 the register the library computes with is read, not the x87 control word that
// fegetround() reports there.
inline bool InDefaultState() {
  if (kRoundingBits == 0) return std::fegetround() == FE_TONEAREST;
  return (ReadRegister() & (kRoundingBits | kFlushToZeroBits)) == 0;
}

// The status flags raised since ClearFlags(), as FE_* bits (the registers keep them in that
// layout), with x86's denormal-operand flag, which <cfenv> doesn't name, as kDenormalFlag. On
// 32-bit x86 <cfenv> reads the x87 unit's flags too, which a host built for it raises.
inline unsigned long long RaisedFlags() {
  return static_cast<unsigned long long>(std::fetestexcept(FE_ALL_EXCEPT)) |
         (ReadRegister() & kFlagBits);
}
inline void ClearFlags() {
  (void)std::feclearexcept(FE_ALL_EXCEPT);
  WriteRegister(ReadRegister() & ~kFlagBits);
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

#if defined(__GLIBC__)
// The control experiment for tests that rely on a floating-point trap: whether this platform
// delivers one at all. A child process enables the invalid-operation trap and computes inf * 0; it
// dies where traps fire (of SIGFPE, or of a sanitizer's report of it) and exits normally where
// they don't, as under user-mode QEMU, whose feenableexcept succeeds all the same.
inline bool FloatingPointTrapsFire() {
  const pid_t child = fork();
  if (child == 0) {
    if (feenableexcept(FE_INVALID) != -1) {
      volatile float infinity = std::numeric_limits<float>::infinity(), zero = 0.0f;
      volatile float invalid = infinity * zero;
      (void)invalid;
    }
    std::_Exit(0);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

}  // namespace OrvelTest

#endif  // ORVEL_TESTS_MATH_HOST_ENVIRONMENT_H
