#ifndef ORVEL_MATH_DETAIL_ROUNDING_PROBE_H
#define ORVEL_MATH_DETAIL_ROUNDING_PROBE_H

// Private to OrvelLib. Whether the thread rounds to nearest even, told without touching MXCSR and
// without raising a flag, where the CPU has SSE4.1: roundps with immediate 0xC rounds in the
// current mode and raises no precision flag. Reading MXCSR instead is microcoded on some CPUs
// (about 5 ns on AMD's Zen, more than most operations here), and so is writing it. Whether the
// flush modes matter comes from the operands (FlushFreeOperands.h), checked in the same few
// instructions, which run beside the operation while it goes ahead on the predicted branch.
//
// The probe's lanes are 1.5 and 2.5. Rounded to integers they are 2 and 2 only when rounding to
// nearest even: down and toward zero give 1 and 2, up gives 2 and 3. Flush-to-zero and
// denormals-are-zero do not touch them. It is asm: a compiler folds the rounding of constants as
// if the mode were the default. kVex picks the AVX encoding, for code compiled for AVX: there a
// legacy SSE instruction after 256-bit ones stalls some CPUs.
//
// (CPUs with AVX-512 can tell the whole state, flush modes included, from one flag-free probe of
// five instructions. Measured on AMD's Zen 5, that saves the operand check in the default state
// but costs a taken branch under flush-to-zero and on CPUs without AVX-512, where the check is
// needed anyway; the one path below costs less overall.)

#include "math/detail/ControlRegister.h"
#include "math/detail/CpuFeatures.h"
#include "math/detail/FlushFreeOperands.h"

#if defined(ORVEL_MATH_CONTROL_MXCSR) && defined(ORVEL_MATH_GNU_FORMS) && \
    defined(ORVEL_MATH_FLUSH_FREE_SSE2) &&                                \
    (defined(ORVEL_MATH_CPU_FEATURES_GLIBC) || defined(ORVEL_MATH_CPU_FEATURES_CPUID))
#define ORVEL_MATH_ROUNDING_PROBE 1

#include <atomic>
#include <cstdint>
#include <type_traits>

namespace OrvelMath {
namespace Environment {

// Whether the CPU runs the probe: 0 until asked, then 1 or -1. Threads that race to ask get the
// same answer, so relaxed loads and stores are enough.
inline std::atomic<int> probeUsable{0};

inline bool ProbeKnownUsable() {
#if defined(__SSE4_1__)
  return true;  // the build requires SSE4.1 anyway
#else
  return probeUsable.load(std::memory_order_relaxed) > 0;
#endif
}

// Asked on the slow path only, so the first call of a process takes it.
inline void AskWhetherProbeUsable() {
  if (probeUsable.load(std::memory_order_relaxed) == 0)
    probeUsable.store(Cpu::Usable(Cpu::kSse41) ? 1 : -1, std::memory_order_relaxed);
}

// `count` floats as 32-bit lanes, zero-padded, loaded by asm: the compiler would share the loads
// with the operation's own, and then move floats through general registers to build the lanes.
template <std::size_t count, bool kVex>
inline __m128i LoadLanesApart(const unsigned char* bytes) {
  const auto& memory = *reinterpret_cast<const unsigned char(*)[4 * count]>(bytes);
  __m128i lanes;
  if constexpr (count == 3) {
    const auto& last = *reinterpret_cast<const unsigned char(*)[4]>(bytes + 8);
    if constexpr (kVex) {
      __asm__("vmovq %1, %0\n\tvpinsrd $2, %2, %0, %0" : "=&x"(lanes) : "m"(memory), "m"(last));
    } else {
      __asm__("movq %1, %0\n\tpinsrd $2, %2, %0" : "=&x"(lanes) : "m"(memory), "m"(last));
    }
  }
  if constexpr (count == 1 && kVex) __asm__("vmovd %1, %0" : "=x"(lanes) : "m"(memory));
  if constexpr (count == 1 && !kVex) __asm__("movd %1, %0" : "=x"(lanes) : "m"(memory));
  if constexpr (count == 2 && kVex) __asm__("vmovq %1, %0" : "=x"(lanes) : "m"(memory));
  if constexpr (count == 2 && !kVex) __asm__("movq %1, %0" : "=x"(lanes) : "m"(memory));
  if constexpr (count == 4 && kVex) __asm__("vmovdqu %1, %0" : "=x"(lanes) : "m"(memory));
  if constexpr (count == 4 && !kVex) __asm__("movdqu %1, %0" : "=x"(lanes) : "m"(memory));
  return lanes;
}

// Whether the thread rounds to nearest even and no operand is below kLeast (FlushFreeOperands.h).
// The keys of all operands are reduced to their lane-wise least with pminsd; then the lanes are
// set where that least is not below kLeast and the probe rounded to nearest, and the carry flag
// says whether all are.
template <std::uint32_t kLeast, bool kVex, typename... Operands>
inline bool RoundsToNearestAndNoneBelow(const Operands&... operands) {
  alignas(16) static constexpr std::int32_t kLimit[4] = {KeyOf(kLeast) - 1, KeyOf(kLeast) - 1,
                                                         KeyOf(kLeast) - 1, KeyOf(kLeast) - 1};
  alignas(16) static constexpr float kProbe[4] = {1.5f, 2.5f, 1.5f, 2.5f};
  alignas(16) static constexpr float kNearest[4] = {2.0f, 2.0f, 2.0f, 2.0f};
  alignas(16) static constexpr std::int32_t kAllSet[4] = {-1, -1, -1, -1};
  __m128i least = _mm_setzero_si128(), lanes;
  bool first = true;
  const auto reduce = [&](__m128i keys) {
    if (first) {
      least = keys;
    } else {
      if constexpr (kVex) {
        __asm__("vpminsd %1, %0, %0" : "+x"(least) : "x"(keys));
      } else {
        __asm__("pminsd %1, %0" : "+x"(least) : "x"(keys));
      }
    }
    first = false;
  };
  // A float operand comes in a register (ToRadians' degrees, a scale): taken from there.
  const auto reduceOperand = [&](const auto& operand) {
    if constexpr (std::is_same_v<std::decay_t<decltype(operand)>, float>) {
      reduce(Keys(_mm_castps_si128(_mm_set1_ps(operand))));
    } else {
      ForEachGroup(operand, [&](const unsigned char* bytes, auto count) {
        reduce(Keys(LoadLanesApart<decltype(count)::value, kVex>(bytes)));
      });
    }
  };
  (reduceOperand(operands), ...);
  bool fine;
  if constexpr (kVex) {
    __asm__ __volatile__(
        "vpcmpgtd %[limit], %[least], %[least]\n\t"
        "vroundps $0xC, %[probe], %[lanes]\n\t"
        "vpcmpeqd %[nearest], %[lanes], %[lanes]\n\t"
        "vpand %[lanes], %[least], %[least]\n\t"
        "vptest %[allSet], %[least]"
        : [least] "+x"(least), [lanes] "=&x"(lanes), "=@ccc"(fine)
        : [limit] "m"(kLimit), [probe] "m"(kProbe), [nearest] "m"(kNearest), [allSet] "m"(kAllSet));
  } else {
    __asm__ __volatile__(
        "pcmpgtd %[limit], %[least]\n\t"
        "roundps $0xC, %[probe], %[lanes]\n\t"
        "pcmpeqd %[nearest], %[lanes]\n\t"
        "pand %[lanes], %[least]\n\t"
        "ptest %[allSet], %[least]"
        : [least] "+x"(least), [lanes] "=&x"(lanes), "=@ccc"(fine)
        : [limit] "m"(kLimit), [probe] "m"(kProbe), [nearest] "m"(kNearest), [allSet] "m"(kAllSet));
  }
  return fine;
}

}  // namespace Environment
}  // namespace OrvelMath
#endif

#endif  // ORVEL_MATH_DETAIL_ROUNDING_PROBE_H
