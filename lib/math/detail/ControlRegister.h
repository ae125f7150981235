#ifndef ORVEL_MATH_DETAIL_CONTROL_REGISTER_H
#define ORVEL_MATH_DETAIL_CONTROL_REGISTER_H

// Private to OrvelLib. The thread's floating-point control register on each target: what its
// default state is, how to read it, and how to set it to the default and back.
//
//   x86-64 and 32-bit x86 (SSE)  MXCSR: rounding control, flush-to-zero, denormals-are-zero
//   AArch64                      FPCR: rounding mode, flush-to-zero (and flush-inputs-to-zero
//                                and alternate handling, where the CPU has them)
//   32-bit ARM (VFP)             FPSCR: rounding mode, flush-to-zero
//   anything else                the rounding mode, through <cfenv>: a flush-to-zero bit of an
//                                FPU not listed here is not seen
// WebAssembly has no control state: it always rounds to nearest and keeps denormals, and <cfenv>
// says so.
//
// ORVEL_MATH_NON_GNU_FORMS, defined by a test before this header, makes GCC and Clang compile the
// forms that other compilers (MSVC) get, so that those forms are built and run somewhere.

#include <cstdint>

#if defined(__GNUC__) && !defined(ORVEL_MATH_NON_GNU_FORMS)
#define ORVEL_MATH_GNU_FORMS 1
#endif

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <xmmintrin.h>
#define ORVEL_MATH_CONTROL_MXCSR 1
#elif defined(__GNUC__) && defined(__aarch64__)
#define ORVEL_MATH_CONTROL_FPCR 1
#elif defined(__GNUC__) && defined(__arm__) && defined(__ARM_FP)
#define ORVEL_MATH_CONTROL_FPSCR 1
#else
#include <cfenv>
#define ORVEL_MATH_CONTROL_CFENV 1
#endif

#if defined(ORVEL_MATH_GNU_FORMS)
#define ORVEL_MATH_COLD __attribute__((noinline, cold))
#define ORVEL_MATH_FLATTEN __attribute__((flatten))
#define ORVEL_MATH_LIKELY(condition) __builtin_expect(static_cast<bool>(condition), 1)
#define ORVEL_MATH_UNLIKELY(condition) __builtin_expect(static_cast<bool>(condition), 0)
#define ORVEL_MATH_KEEP_BRANCH() __asm__ __volatile__("")
#else
#define ORVEL_MATH_COLD
#define ORVEL_MATH_FLATTEN
#define ORVEL_MATH_LIKELY(condition) static_cast<bool>(condition)
#define ORVEL_MATH_UNLIKELY(condition) static_cast<bool>(condition)
#define ORVEL_MATH_KEEP_BRANCH()
#endif

#if defined(_MSC_VER) && !defined(__clang__)
// MSVC keeps floating-point operations in program order around reads and writes of the control
// register only when told that the program changes the environment.
#pragma fenv_access(on)
#endif

namespace OrvelMath {
namespace Environment {

// The register's bits: kRoundingBits and kFlushBits must be 0 in the default state; kFlagBits are
// status flags kept in the same register, if any.
#if defined(ORVEL_MATH_CONTROL_MXCSR)
using State = unsigned int;
constexpr State kRoundingBits = 0x6000u;
constexpr State kFlushBits = 0x8000u     // flush to zero
                             | 0x0040u;  // denormals are zero
constexpr State kFlagBits = 0x003Fu;
inline State Read() {
  return _mm_getcsr();
}
inline void Write(State state) {
  _mm_setcsr(state);
}

#elif defined(ORVEL_MATH_CONTROL_FPCR)
using State = std::uint64_t;
constexpr State kRoundingBits = 3u << 22;
constexpr State kFlushBits = (1u << 24)    // flush to zero
                             | (1u << 1)   // alternate handling (flushes inputs too)
                             | (1u << 0);  // flush inputs to zero
constexpr State kFlagBits = 0;             // the flags live in FPSR, which is never written
inline State Read() {
  State state;
  __asm__ __volatile__("mrs %0, fpcr" : "=r"(state));
  return state;
}
inline void Write(State state) {
  __asm__ __volatile__("msr fpcr, %0" : : "r"(state) : "memory");
}

#elif defined(ORVEL_MATH_CONTROL_FPSCR)
using State = std::uint32_t;
constexpr State kRoundingBits = 3u << 22;
constexpr State kFlushBits = 1u << 24;
constexpr State kFlagBits = 0x9Fu;  // cumulative exception flags
inline State Read() {
  State state;
  __asm__ __volatile__("vmrs %0, fpscr" : "=r"(state));
  return state;
}
inline void Write(State state) {
  __asm__ __volatile__("vmsr fpscr, %0" : : "r"(state) : "memory");
}

#else
// The rounding mode as <cfenv> reports it. fesetround leaves the status flags alone.
using State = int;
inline State Read() {
  return std::fegetround();
}
#endif

#if defined(ORVEL_MATH_CONTROL_CFENV)
inline bool RoundsToNearest(State state) {
  return state == FE_TONEAREST;
}
inline bool FlushesNothing(State) {
  return true;
}
inline void Enter(State) {
  (void)std::fesetround(FE_TONEAREST);
}
inline void Leave(State caller) {
  (void)std::fesetround(caller);
}
#else
inline bool RoundsToNearest(State state) {
  return (state & kRoundingBits) == 0;
}
inline bool FlushesNothing(State state) {
  return (state & kFlushBits) == 0;
}
// Clears only the mode bits: the caller's exception masks (its traps) and flags stay.
inline void Enter(State caller) {
  Write(caller & ~(kRoundingBits | kFlushBits));
}
// The caller's state, plus whatever flags were raised since Enter.
inline void Leave(State caller) {
  Write(caller | (Read() & kFlagBits));
}
#endif

inline bool IsDefault(State state) {
  return RoundsToNearest(state) && FlushesNothing(state);
}

// Compilers do not model float arithmetic as reading the control register, so they would move it
// to before Enter or past Leave. Pin(value) makes `value` look read and rewritten at this point:
// the compiler can neither use a copy from before nor compute it after, and the memory clobber
// orders it against the register's reads and writes. Pinning a lambda pins what it captured.
// MSVC needs no pin: under fenv_access it keeps floating-point operations where the program puts
// them relative to _mm_setcsr.
template <typename T>
inline void Pin(T& value) {
#if defined(ORVEL_MATH_GNU_FORMS)
  // As bytes: a lambda that captures references is not assignable as a whole.
  auto& bytes = reinterpret_cast<unsigned char(&)[sizeof(T)]>(value);
  __asm__ __volatile__("" : "+m"(bytes) : : "memory");
#else
  (void)value;
#endif
}

}  // namespace Environment
}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_CONTROL_REGISTER_H
