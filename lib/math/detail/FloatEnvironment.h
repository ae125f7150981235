#ifndef ORVEL_MATH_DETAIL_FLOAT_ENVIRONMENT_H
#define ORVEL_MATH_DETAIL_FLOAT_ENVIRONMENT_H

// Private to OrvelLib: never installed, never included by a public header.
//
// Every exported operation that does arithmetic runs it through InDefaultEnvironment, so that its
// result bits do not depend on the calling thread's floating-point control state: the arithmetic
// always rounds to nearest even, and denormals are neither flushed nor read as zero. Hosts change
// that state on purpose (game engines set flush-to-zero for speed) and by accident (linking with
// -ffast-math or -Ofast turns on flush-to-zero and denormals-are-zero for the whole process).
//
// The operation computes directly when the thread rounds to nearest even and its flush modes are
// off or cannot act on the operands at hand (FlushFreeOperands.h): the common case, in the default
// state and under flush-to-zero alike. On x86 CPUs with SSE4.1 that is told without touching the
// control register (EnvironmentProbes.h); elsewhere the register is read. Otherwise (a directed
// rounding mode, or a flush mode with an operand small enough for it to act) the control register
// is set to the default for the arithmetic and put back afterwards. The caller gets its control
// state back exactly; the status flags the arithmetic raised are added to the caller's, as after
// any function that ran in the default environment. Exception traps the caller enabled stay
// enabled.

#include "math/detail/StrictFloat.h"

#include "math/detail/ControlRegister.h"
#include "math/detail/EnvironmentProbes.h"
#include "math/detail/FlushFreeOperands.h"

#include <cstdint>
#include <type_traits>

namespace OrvelMath {
namespace Environment {

// Whether the arithmetic on `operands` gives the default environment's bits and flags as the
// thread is now, told from the control register: it rounds to nearest even, and its flush modes
// are off or cannot act on these operands. kLeast is the operation's least operand magnitude
// (FlushFreeOperands.h).
template <std::uint32_t kLeast, typename... Operands>
inline bool ComputesAsDefault(State state, const Operands&... operands) {
  return RoundsToNearest(state) && (FlushesNothing(state) || NoneBelow<kLeast>(operands...));
}

// The slow path, out of line so that the common path stays small: compute directly if the thread
// is in the default state after all, otherwise in the switched environment. The lambda is pinned
// after the switch, so what it captured is read there; its result, or what it stored, is pinned
// before the restore. kAskForPath: the guard's path is asked of the CPU here (EnvironmentProbes.h).
// Flattened, so that the operation runs inside rather than as a call: on Zen 3 a called dot product
// that tests its result for a NaN right after the control register was written took 60 ns instead
// of 24.
template <bool kAskForPath = false, typename Compute>
ORVEL_MATH_COLD ORVEL_MATH_FLATTEN auto InAnyEnvironment(Compute compute) -> decltype(compute()) {
#if defined(ORVEL_MATH_ENVIRONMENT_PROBES)
  if constexpr (kAskForPath) AskForPath();  // the common path takes it from the next call on
#endif
  const State caller = Read();
  if (IsDefault(caller)) return compute();
  Enter(caller);
  Pin(compute);
  if constexpr (std::is_void_v<decltype(compute())>) {
    compute();
    Pin(compute);
    Leave(caller);
  } else {
    auto result = compute();
    Pin(result);
    Leave(caller);
    return result;
  }
}

#if defined(ORVEL_MATH_ENVIRONMENT_PROBES)
// compute(), in a copy of its own for each common path: left to itself the compiler shares one
// copy, and reaches it from all but one path with a taken branch, which costs about as much as a
// probe. The empty asm, different for each path, keeps the copies apart.
template <int kPath, typename Compute>
inline auto CopyFor(Compute& compute) -> decltype(compute()) {
  if constexpr (std::is_void_v<decltype(compute())>) {
    compute();
    __asm__ __volatile__("" : : "i"(kPath));
  } else {
    auto result = compute();
    __asm__ __volatile__("" : : "i"(kPath));
    return result;
  }
}
#endif

#if defined(ORVEL_MATH_ENVIRONMENT_PROBES)
// The common path of one kind of CPU, then the slow path.
template <Path kPath, std::uint32_t kLeast, bool kVex, typename Compute, typename... Operands>
inline auto OnPath(Compute& compute, const Operands&... operands) -> decltype(compute()) {
  if constexpr (kPath == Path::kStateProbe) {
    if (ORVEL_MATH_LIKELY(StateProbeSaysDefault())) return CopyFor<0>(compute);
    if (ORVEL_MATH_LIKELY((RoundsToNearestAndNoneBelow<kLeast, kVex>(operands...)))) {
      return CopyFor<1>(compute);
    }
  } else if constexpr (kPath == Path::kRoundingProbe) {
    if (ORVEL_MATH_LIKELY((RoundsToNearestAndNoneBelow<kLeast, kVex>(operands...)))) {
      return CopyFor<2>(compute);
    }
  } else {
    if (ORVEL_MATH_LIKELY(ComputesAsDefault<kLeast>(Read(), operands...))) return compute();
  }
  return InAnyEnvironment(compute);
}
#endif

// compute() in the IEEE-754 default environment, whatever the caller's control state. `operands`
// are everything compute() reads; kLeast as above, and kVex says the caller is compiled for AVX.
// kPath is the guard's common path where it was chosen when the library was loaded
// (EnvironmentProbes.h), kAsked elsewhere.
//
// Each common path reaches its own copy of the operation, and the default state on CPUs with
// AVX-512 does so without a taken branch: one costs about as much as a probe.
template <std::uint32_t kLeast, bool kVex = false, Path kPath = Path::kAsked, typename Compute,
          typename... Operands>
inline auto InDefaultEnvironment(Compute compute, const Operands&... operands)
    -> decltype(compute()) {
#if defined(ORVEL_MATH_ENVIRONMENT_PROBES)
  if constexpr (kPath != Path::kAsked) {
    return OnPath<kPath, kLeast, kVex>(compute, operands...);
  } else {
    const Path path = KnownPath();
    if (ORVEL_MATH_LIKELY(path == Path::kStateProbe)) {
      return OnPath<Path::kStateProbe, kLeast, kVex>(compute, operands...);
    }
    if (ORVEL_MATH_LIKELY(path == Path::kRoundingProbe)) {
      return OnPath<Path::kRoundingProbe, kLeast, kVex>(compute, operands...);
    }
    return InAnyEnvironment<true>(compute);
  }
#else
  if (ORVEL_MATH_LIKELY(ComputesAsDefault<kLeast>(Read(), operands...))) return compute();
  return InAnyEnvironment(compute);
#endif
}

}  // namespace Environment
}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_FLOAT_ENVIRONMENT_H
