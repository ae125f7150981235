#ifndef ORVEL_MATH_DETAIL_ENVIRONMENT_PROBES_H
#define ORVEL_MATH_DETAIL_ENVIRONMENT_PROBES_H

// Private to OrvelLib. The thread's floating-point state, told from arithmetic that raises no flag
// instead of from MXCSR, whose reads and writes are microcoded on some CPUs (about 5 ns each on
// AMD's Zen, more than most operations here). A probe is a few instructions that run beside the
// operation, which goes ahead on the predicted branch.
//
// - With SSE4.1, the rounding: roundps with immediate 0xC rounds in the current mode and raises no
//   precision flag. Its lanes are 1.5 and 2.5, which round to 2 and 2 only when rounding to
//   nearest even (down and toward zero give 1 and 2, up gives 2 and 3); the flush modes don't
//   touch them. Whether those matter then comes from the operands (FlushFreeOperands.h), checked
//   in the same few instructions.
// - With AVX-512, the whole state in five instructions: embedded rounding ({rn-sae}) fixes the
//   rounding and raises no flag, while flush-to-zero and denormals-are-zero still apply. A thread
//   in the default state then needs no operand check.
//
// Both are asm: a compiler folds the rounding of constants as if the mode were the default. kVex
// picks the AVX encoding, for code compiled for AVX: there a legacy SSE instruction after 256-bit
// ones stalls some CPUs.
//
// Which probes a CPU runs makes the guard's common path on it (Path). Where the build chooses code
// when the library is loaded (ORVEL_MATH_KERNELS_AT_LOAD), every operation has a copy per path and
// the dynamic linker enters the one for the CPU; elsewhere the first call asks the CPU, and every
// call dispatches on the answer.

#include "math/detail/ControlRegister.h"
#include "math/detail/CpuFeatures.h"
#include "math/detail/FlushFreeOperands.h"

namespace OrvelMath {
namespace Environment {

// The guard's common path, by the kind of x86 CPU.
enum class Path {
  kAsked,            // not chosen at load: asked of the CPU by the first call
  kControlRegister,  // no SSE4.1: the control register is read
  kRoundingProbe,    // SSE4.1: the rounding probe with the operand check
  kStateProbe,       // AVX-512 (and AVX, for the VEX forms): the state probe
};

}  // namespace Environment
}  // namespace OrvelMath

#if defined(ORVEL_MATH_CONTROL_MXCSR) && defined(ORVEL_MATH_GNU_FORMS) && \
    defined(ORVEL_MATH_FLUSH_FREE_SSE2) &&                                \
    (defined(ORVEL_MATH_CPU_FEATURES_GLIBC) || defined(ORVEL_MATH_CPU_FEATURES_CPUID))
#define ORVEL_MATH_ENVIRONMENT_PROBES 1

#include <atomic>
#include <cstdint>
#include <type_traits>

namespace OrvelMath {
namespace Environment {

// The path of this CPU. Load-time resolvers call it, before any constructor has run.
ORVEL_MATH_UNINSTRUMENTED inline Path PathOfThisCpu() {
  if (!Cpu::Usable(Cpu::kSse41)) return Path::kControlRegister;
  const bool state = Cpu::Usable(Cpu::kAvx512) && Cpu::Usable(Cpu::kAvx);  // EVEX, and VEX
  return state ? Path::kStateProbe : Path::kRoundingProbe;
}

// Where the path is asked for: kAsked until then. Threads that race to ask get the same answer, so
// relaxed loads and stores are enough.
inline std::atomic<Path> askedPath{Path::kAsked};

inline Path KnownPath() {
  return askedPath.load(std::memory_order_relaxed);
}

// Asked on the slow path only, so the first call of a process takes it.
inline void AskForPath() {
  if (KnownPath() == Path::kAsked) askedPath.store(PathOfThisCpu(), std::memory_order_relaxed);
}

// Whether the thread is in the default state (AVX-512 only).
inline bool StateProbeSaysDefault() {
  // Lane 0 is the denormal 2^-127; the others as for the rounding probe.
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

#endif  // ORVEL_MATH_DETAIL_ENVIRONMENT_PROBES_H
