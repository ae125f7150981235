#ifndef ORVEL_MATH_DETAIL_ENVIRONMENT_PROBES_H
#define ORVEL_MATH_DETAIL_ENVIRONMENT_PROBES_H

// Private to OrvelLib. The thread's floating-point state, told from arithmetic that raises no flag
// instead of from MXCSR, whose reads and writes are microcoded on some CPUs (about 5 ns each on
// AMD's Zen, more than most operations here). Two probes, each a few instructions that run beside
// the operation, which goes ahead on the predicted branch:
//
// - With AVX-512, the whole state: whether the thread rounds to nearest even and neither flushes
//   denormals to zero nor reads them as zero. Embedded rounding ({rn-sae}) fixes the rounding and
//   raises no flag, while flush-to-zero and denormals-are-zero still apply.
// - With SSE4.1, the rounding alone: roundps with immediate 0xC rounds in the current mode and
//   raises no precision flag. Whether the flush modes matter then comes from the operands
//   (FlushFreeOperands.h).
//
// Both are written as asm: a compiler folds the rounding of constants as if the mode were the
// default. They are volatile, since they read state the compiler does not see.

#include "math/detail/ControlRegister.h"
#include "math/detail/CpuFeatures.h"
#include "math/detail/FlushFreeOperands.h"

#if defined(ORVEL_MATH_CONTROL_MXCSR) && defined(ORVEL_MATH_GNU_FORMS) && \
    defined(ORVEL_MATH_FLUSH_FREE_SSE2) &&                                \
    (defined(ORVEL_MATH_CPU_FEATURES_GLIBC) || defined(ORVEL_MATH_CPU_FEATURES_CPUID))
#define ORVEL_MATH_ENVIRONMENT_PROBES 1

#include <atomic>
#include <cstdint>

namespace OrvelMath {
namespace Environment {

// Which probes the CPU runs: 0 until asked, then one of these. Threads that race to ask get the
// same answer, so relaxed loads and stores are enough.
constexpr int kNoProbe = -1;
constexpr int kRoundingProbe = 1;  // SSE4.1
constexpr int kStateProbe = 2;     // AVX-512, and SSE4.1 with it
inline std::atomic<int> probes{0};

inline int KnownProbes() {
  return probes.load(std::memory_order_relaxed);
}

// Asked on the slow path only, so the first call of a process takes it.
inline void AskForProbes() {
  if (KnownProbes() != 0) return;
  int usable = kNoProbe;
  if (Cpu::Usable(Cpu::kSse41)) usable = Cpu::Usable(Cpu::kAvx512) ? kStateProbe : kRoundingProbe;
  probes.store(usable, std::memory_order_relaxed);
}

// Whether the thread is in the default state: AVX-512 only.
inline bool StateProbeSaysDefault() {
  // Lane 0 is the denormal 2^-127; the others round to 2, 2, 2 only when rounding to nearest even
  // (down and toward zero give 1 and 2, up gives 2 and 3).
  alignas(16) static constexpr float kProbe[4] = {0x1p-127f, 1.5f, 2.5f, 1.5f};
  alignas(16) static constexpr float kDefault[4] = {0x1p-127f, 2.0f, 2.0f, 2.0f};
  __m128 probe, lanes;
  bool isDefault;
  __asm__ __volatile__(
      "vmovaps %[probeValues], %[probe]\n\t"
      "vroundps $0xC, %[probe], %[lanes]\n\t"
      // Lane 0 rounds to 0 to nearest, and 0 + 2^-127 is 2^-127 again, unless the denormal was
      // read as zero or the sum flushed to zero.
      "vaddss %{rn-sae%}, %[probe], %[lanes], %[lanes]\n\t"
      "vpxor %[want], %[lanes], %[lanes]\n\t"
      "vptest %[lanes], %[lanes]"
      : [probe] "=&x"(probe), [lanes] "=&x"(lanes), "=@ccz"(isDefault)
      : [probeValues] "m"(kProbe), [want] "m"(kDefault));
  return isDefault;
}

// Whether the thread rounds to nearest even and `below` is all zeros. kVex picks the AVX encoding,
// for code compiled for AVX: there a legacy SSE instruction after 256-bit ones stalls some CPUs.
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

#endif  // ORVEL_MATH_DETAIL_ENVIRONMENT_PROBES_H
