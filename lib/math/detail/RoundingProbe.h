#ifndef ORVEL_MATH_DETAIL_ROUNDING_PROBE_H
#define ORVEL_MATH_DETAIL_ROUNDING_PROBE_H

// Private to OrvelLib. Whether the thread rounds to nearest even, told without touching MXCSR and
// without raising a flag, where the CPU has SSE4.1: roundps with immediate 0xC rounds in the
// current mode and suppresses the precision exception. Reading MXCSR instead is microcoded on some
// CPUs (about 5 ns on AMD's Zen, more than most operations here), and so is writing it.
//
// The probe's lanes are 1.5 and 2.5. Rounded to integers they are 2 and 2 only when rounding to
// nearest even: down and toward zero give 1 and 2, up gives 2 and 3. Flush-to-zero and
// denormals-are-zero do not touch them.

#include "math/detail/ControlRegister.h"
#include "math/detail/CpuFeatures.h"
#include "math/detail/FlushFreeOperands.h"

#if defined(ORVEL_MATH_CONTROL_MXCSR) && defined(ORVEL_MATH_GNU_FORMS) && \
    defined(ORVEL_MATH_FLUSH_FREE_SSE2) &&                                \
    (defined(ORVEL_MATH_CPU_FEATURES_GLIBC) || defined(ORVEL_MATH_CPU_FEATURES_CPUID))
#define ORVEL_MATH_ROUNDING_PROBE 1

#include <atomic>
#include <cstdint>

namespace OrvelMath {
namespace Environment {

// Whether the CPU runs the probe: 0 until first asked, then 1 or -1. Threads that race to ask get
// the same answer, so a relaxed store is enough.
inline std::atomic<int> roundingProbeUsable{0};

// Whether the probe may run; asked only on the slow path, so the first call of a process takes it.
inline bool RoundingProbeKnownUsable() {
#if defined(__SSE4_1__)
  return true;  // the build requires SSE4.1 anyway
#else
  return roundingProbeUsable.load(std::memory_order_relaxed) > 0;
#endif
}

inline void AskWhetherRoundingProbeUsable() {
  if (roundingProbeUsable.load(std::memory_order_relaxed) == 0)
    roundingProbeUsable.store(Cpu::Usable(Cpu::kSse41) ? 1 : -1, std::memory_order_relaxed);
}

// Whether the thread rounds to nearest even and `below` is all zeros. Written as asm, since a
// compiler would fold the rounding of constants as if the mode were the default (and volatile,
// since it reads the control state). kVex picks the AVX encoding, for code compiled for AVX: there
// a legacy SSE instruction after 256-bit ones stalls some CPUs.
template <bool kVex>
inline bool RoundsToNearestAndNoneSet(__m128i below) {
  alignas(16) static constexpr float kProbe[4] = {1.5f, 2.5f, 1.5f, 2.5f};
  alignas(16) static constexpr float kNearest[4] = {2.0f, 2.0f, 2.0f, 2.0f};
  alignas(16) static constexpr std::int32_t kAllSet[4] = {-1, -1, -1, -1};
  __m128i lanes;
  bool fine;
  // lanes: all-ones where the probe rounded to nearest; below: then all-ones where that holds and
  // no operand is below; the carry flag: whether every lane is.
  if constexpr (kVex) {
    __asm__ __volatile__(
        "vroundps $0xC, %[probe], %[lanes]\n\t"
        "vpcmpeqd %[nearest], %[lanes], %[lanes]\n\t"
        "vpandn %[lanes], %[below], %[below]\n\t"
        "vptest %[allSet], %[below]"
        : [lanes] "=&x"(lanes), [below] "+x"(below), "=@ccc"(fine)
        : [probe] "m"(kProbe), [nearest] "m"(kNearest), [allSet] "m"(kAllSet));
  } else {
    __asm__ __volatile__(
        "roundps $0xC, %[probe], %[lanes]\n\t"
        "pcmpeqd %[nearest], %[lanes]\n\t"
        "pandn %[lanes], %[below]\n\t"
        "ptest %[allSet], %[below]"
        : [lanes] "=&x"(lanes), [below] "+x"(below), "=@ccc"(fine)
        : [probe] "m"(kProbe), [nearest] "m"(kNearest), [allSet] "m"(kAllSet));
  }
  return fine;
}

}  // namespace Environment
}  // namespace OrvelMath
#endif

#endif  // ORVEL_MATH_DETAIL_ROUNDING_PROBE_H
