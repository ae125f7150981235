#ifndef ORVEL_MATH_FLOAT_ENVIRONMENT_H
#define ORVEL_MATH_FLOAT_ENVIRONMENT_H

// Private to OrvelLib: never installed, never included by a public header.
//
// Every exported operation that does arithmetic runs it through InDefaultEnvironment, so that its
// result bits do not depend on the calling thread's floating-point control state: the arithmetic
// always rounds to nearest even, and denormals are neither flushed nor read as zero. Hosts change
// that state on purpose (game engines set flush-to-zero for speed) and by accident (linking with
// -ffast-math or -Ofast turns on flush-to-zero and denormals-are-zero for the whole process).
//
// A caller already in the default state, the common case, pays one look at that state and one
// branch: a read of the control register, or on x86-64 CPUs with AVX-512, where reading MXCSR is
// slow on some, a few instructions that observe the state without raising any flag (see
// ProbeSaysDefault). Otherwise the control register is set to the default for the
// arithmetic and put back afterwards. The caller gets its control state back exactly; the status
// flags the arithmetic raised are added to the caller's, as after any function that ran in the
// default environment. Exception traps the caller enabled stay enabled.
//
// What is covered, per target:
//   x86-64 and 32-bit x86 (SSE)  MXCSR: rounding control, flush-to-zero, denormals-are-zero
//   AArch64                      FPCR: rounding mode, flush-to-zero (and flush-inputs-to-zero
//                                and alternate handling, where the CPU has them)
//   32-bit ARM (VFP)             FPSCR: rounding mode, flush-to-zero
//   anything else                the rounding mode, through <cfenv>
// WebAssembly has no control state: it always rounds to nearest and keeps denormals.
//
// Compilers do not model float arithmetic as depending on the control register: they would move
// a multiply to before the switch or past the restore. So on the switched path the operands are
// pinned after the switch and the result before the restore, with empty asm statements the
// compiler must keep in order; the arithmetic can only happen between them.

#include "math/StrictFloat.h"

#include <atomic>
#include <cstdint>
#include <type_traits>

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <emmintrin.h>
#define ORVEL_MATH_ENVIRONMENT_MXCSR 1
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && defined(__has_include)
#if __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#define ORVEL_MATH_ENVIRONMENT_PROBE 1
#endif
#endif
#elif defined(__GNUC__) && (defined(__aarch64__) || (defined(__arm__) && defined(__ARM_FP)))
#define ORVEL_MATH_ENVIRONMENT_ARM 1
#else
#include <cfenv>
#define ORVEL_MATH_ENVIRONMENT_CFENV 1
#endif

#if defined(__GNUC__)
#define ORVEL_MATH_COLD __attribute__((noinline, cold))
#define ORVEL_MATH_LIKELY(condition) __builtin_expect(static_cast<bool>(condition), 1)
#elif defined(_MSC_VER)
#define ORVEL_MATH_COLD __declspec(noinline)
#define ORVEL_MATH_LIKELY(condition) (condition)
#pragma fenv_access(on)  // MSVC's own way to keep arithmetic between _mm_setcsr calls
#endif

namespace OrvelMath {
namespace Environment {

// The control register and how to read and write it. kModeBits are the bits that must be 0 for
// the default state; kFlagBits are status flags kept in the same register, if any.
#if defined(ORVEL_MATH_ENVIRONMENT_MXCSR)
using State = unsigned int;
constexpr State kModeBits = 0x6000u     // rounding control
                            | 0x8000u   // flush to zero
                            | 0x0040u;  // denormals are zero
constexpr State kFlagBits = 0x003Fu;
inline State Read() {
  return _mm_getcsr();
}
#if defined(__GNUC__)
inline void Write(State state) {
  __asm__ __volatile__("ldmxcsr %0" : : "m"(state) : "memory");
}
#else
inline void Write(State state) {
  _mm_setcsr(state);
}
#endif

#elif defined(ORVEL_MATH_ENVIRONMENT_ARM) && defined(__aarch64__)
using State = std::uint64_t;
constexpr State kModeBits = (3u << 22)    // rounding mode
                            | (1u << 24)  // flush to zero
                            | (1u << 1)   // alternate handling (flushes inputs too)
                            | (1u << 0);  // flush inputs to zero
constexpr State kFlagBits = 0;            // the flags live in FPSR, which we never write
inline State Read() {
  State state;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(state));
  return state;
}
inline void Write(State state) {
  __asm__ __volatile__("msr fpcr, %0" : : "r"(state) : "memory");
}

#elif defined(ORVEL_MATH_ENVIRONMENT_ARM)
using State = std::uint32_t;
constexpr State kModeBits = (3u << 22)     // rounding mode
                            | (1u << 24);  // flush to zero
constexpr State kFlagBits = 0x9Fu;         // cumulative exception flags
inline State Read() {
  State state;
  __asm__ __volatile__("vmrs %0, fpscr" : "=r"(state));
  return state;
}
inline void Write(State state) {
  __asm__ __volatile__("vmsr fpscr, %0" : : "r"(state) : "memory");
}

#else
// The rounding mode as <cfenv> reports it; fesetround leaves the status flags alone.
using State = int;
inline bool IsDefault(State state) {
  return state == FE_TONEAREST;
}
inline State Read() {
  return std::fegetround();
}
inline void Enter(State) {
  (void)std::fesetround(FE_TONEAREST);
}
inline void Leave(State caller) {
  (void)std::fesetround(caller);
}
#endif

#if !defined(ORVEL_MATH_ENVIRONMENT_CFENV)
inline bool IsDefault(State state) {
  return (state & kModeBits) == 0;
}
#endif

#if defined(ORVEL_MATH_ENVIRONMENT_PROBE)
// Reading MXCSR is microcoded and slow on some CPUs (about 5 ns a call on AMD's Zen, more than most
// operations here). With AVX-512 the same facts come from arithmetic instead: embedded rounding
// ({rn-sae}) fixes the rounding and raises no flag, while flush-to-zero and denormals-are-zero
// still apply; vroundps rounds in the current mode without raising the precision flag. So the
// probe raises no flag in any state, and its few instructions run beside the operation, which
// goes ahead on the predicted branch. Only additions touch denormals: where a CPU takes a slow path
// for denormals, measured so far, it does so in multiplications.
inline bool ProbeSaysDefault() {
  // Lanes: 1.5 * 2^-126, 2^-126, 1.5, 2.5.
  const __m128 probe = _mm_setr_ps(0x1.8p-126f, 0x1p-126f, 1.5f, 2.5f);
  // What the lanes become in the default state: 1.5 * 2^-126 again, then the roundings 0, 2, 2.
  static constexpr std::int32_t kDefault[4] = {0x00C00000, 0, 0x40000000, 0x40000000};
  __m128 lanes, sum;
  bool isDefault;
  __asm__ __volatile__(
      // 1.5 * 2^-126 - 2^-126 is the denormal 2^-127, or 0 with flush-to-zero; adding 2^-126 back
      // gives 1.5 * 2^-126 only when that denormal was kept and is not read as 0.
      "vmovshdup %[probe], %[lanes]\n\t"
      "vsubss %{rn-sae%}, %[lanes], %[probe], %[sum]\n\t"
      "vaddss %{rn-sae%}, %[lanes], %[sum], %[sum]\n\t"
      // Rounded to integers in the current mode, the lanes are 0, 0, 2, 2 only when rounding to
      // nearest even.
      "vroundps $0xC, %[probe], %[lanes]\n\t"
      "vblendps $1, %[sum], %[lanes], %[lanes]\n\t"
      // Compared as bits: a float compare would itself read a denormal as zero.
      "vpxor %[want], %[lanes], %[lanes]\n\t"
      "vptest %[lanes], %[lanes]"
      : [lanes] "=&x"(lanes), [sum] "=&x"(sum), "=@ccz"(isDefault)
      : [probe] "x"(probe), [want] "m"(kDefault));
  return isDefault;
}

// Whether the CPU runs the probe: 0 until first asked, then 1 or -1. Threads that race to ask get
// the same answer, so a plain relaxed store is enough.
inline std::atomic<int> probeUsable{0};

ORVEL_MATH_COLD inline bool AskWhetherProbeUsable() {
  const bool usable = CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX);
  probeUsable.store(usable ? 1 : -1, std::memory_order_relaxed);
  return usable;
}
#endif

// Whether the calling thread is in the default state: from the probe where the CPU runs it,
// otherwise from the control register.
inline bool LooksDefault() {
#if defined(ORVEL_MATH_ENVIRONMENT_PROBE)
  const int probe = probeUsable.load(std::memory_order_relaxed);
  if (ORVEL_MATH_LIKELY(probe > 0) || (probe == 0 && AskWhetherProbeUsable()))
    return ProbeSaysDefault();
#endif
  return IsDefault(Read());
}

#if !defined(ORVEL_MATH_ENVIRONMENT_CFENV)
// Keeps the caller's exception masks and flags; clears only the mode bits.
inline void Enter(State caller) {
  Write(caller & ~kModeBits);
}
// The caller's state, plus whatever flags were raised since Enter.
inline void Leave(State caller) {
  Write(caller | (Read() & kFlagBits));
}
#endif

// Makes `value` look read and rewritten here, so the compiler can neither use a copy of it from
// before this point nor compute it after. The memory clobber also orders it against the control
// register's reads and writes.
template <typename T>
inline void Pin(T& value) {
#if defined(__GNUC__)
  __asm__ __volatile__("" : "+m"(value) : : "memory");
#else
  const volatile T copy = value;
  value = copy;
#endif
}

// The switched path, out of line so that the common path stays small. Operands the arithmetic
// takes by value are pinned after the switch; operands it reads through references are loaded
// after it anyway, because the switch clobbers memory. A result is pinned before the restore;
// results written through references are stored before it for the same reason.
template <typename Compute, typename... Operands>
ORVEL_MATH_COLD auto InSwitchedEnvironment(Compute compute, Operands... operands)
    -> decltype(compute(operands...)) {
  const State caller = Read();
  Enter(caller);
  (Pin(operands), ...);
  if constexpr (std::is_void_v<decltype(compute(operands...))>) {
    compute(operands...);
    Leave(caller);
  } else {
    auto result = compute(operands...);
    Pin(result);
    Leave(caller);
    return result;
  }
}

// compute(operands...) in the IEEE-754 default environment, whatever the caller's control state.
template <typename Compute, typename... Operands>
inline auto InDefaultEnvironment(Compute compute, Operands... operands)
    -> decltype(compute(operands...)) {
  if (ORVEL_MATH_LIKELY(LooksDefault())) return compute(operands...);
  return InSwitchedEnvironment(compute, operands...);
}

}  // namespace Environment
}  // namespace OrvelMath

#endif  // ORVEL_MATH_FLOAT_ENVIRONMENT_H
