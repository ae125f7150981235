#ifndef ORVEL_MATH_DETAIL_CPU_FEATURES_H
#define ORVEL_MATH_DETAIL_CPU_FEATURES_H

// Private to OrvelLib. Which optional x86 instruction sets this process may run: SSE4.1 and AVX-512
// for the floating-point environment's probes, AVX for the matrix kernels chosen at load time.
//
// On Linux with glibc 2.33 or later the answer is glibc's: the CPU has the set, the kernel saves
// its registers, and GLIBC_TUNABLES=glibc.cpu.hwcaps=-<set> does not mask it (the tests mask sets
// that way to run every path on one machine). glibc's function and layout are declared here
// rather than taken from <sys/platform/x86.h>, whose inline helpers return C's _Bool, which Clang
// refuses in strict ISO C++. Elsewhere on x86 GCC and Clang ask the CPU through cpuid.

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#if defined(__linux__) && defined(__has_include)
#if __has_include(<sys/platform/x86.h>)
#define ORVEL_MATH_CPU_FEATURES_GLIBC 1
#endif
#endif
#if !defined(ORVEL_MATH_CPU_FEATURES_GLIBC)
#include <cpuid.h>
#define ORVEL_MATH_CPU_FEATURES_CPUID 1
#endif
#endif

// For code that runs while the dynamic linker relocates a caller, before any constructor: a
// sanitizer's runtime is not set up yet, so nothing there may be instrumented.
#if defined(__clang__)
#define ORVEL_MATH_UNINSTRUMENTED \
  __attribute__((no_sanitize("address", "thread", "undefined", "coverage")))
#elif defined(__GNUC__)
#define ORVEL_MATH_UNINSTRUMENTED __attribute__((no_sanitize("address", "thread", "undefined")))
#endif

#if defined(ORVEL_MATH_CPU_FEATURES_GLIBC)
namespace OrvelMath {
namespace Cpu {
// glibc's struct cpuid_feature: the registers cpuid reported for one leaf, and the same bits
// cleared for every set the process may not use.
struct GlibcFeatureLeaf {
  unsigned int present[4];
  unsigned int active[4];
};
}  // namespace Cpu
}  // namespace OrvelMath

// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): glibc's own name
extern "C" const OrvelMath::Cpu::GlibcFeatureLeaf* __x86_get_cpuid_feature_leaf(unsigned int leaf)
    __attribute__((pure));
#endif

#if defined(ORVEL_MATH_CPU_FEATURES_GLIBC) || defined(ORVEL_MATH_CPU_FEATURES_CPUID)
namespace OrvelMath {
namespace Cpu {

// An instruction set: its cpuid leaf (1 or 7), the register there (0 to 3: eax, ebx, ecx, edx), and
// its bit in that register.
struct Feature {
  unsigned int leaf;
  unsigned int reg;
  unsigned int bit;
};
constexpr Feature kSse41 = {1, 2, 19};
constexpr Feature kAvx = {1, 2, 28};
constexpr Feature kAvx512 = {7, 1, 16};  // AVX-512 Foundation

// Whether the process may use `feature`.
ORVEL_MATH_UNINSTRUMENTED inline bool Usable(Feature feature) {
#if defined(ORVEL_MATH_CPU_FEATURES_GLIBC)
  const unsigned int index = feature.leaf == 1 ? 0 : 1;  // glibc's CPUID_INDEX_1, CPUID_INDEX_7
  return (__x86_get_cpuid_feature_leaf(index)->active[feature.reg] >> feature.bit) & 1u;
#else
  // Only SSE4.1 is asked of the CPU itself: it uses no state the operating system must save, as
  // AVX and AVX-512 do, which only glibc knows of here.
  if (feature.leaf != kSse41.leaf || feature.bit != kSse41.bit) return false;
  unsigned int registers[4] = {};
  return __get_cpuid(1, &registers[0], &registers[1], &registers[2], &registers[3]) != 0 &&
         ((registers[feature.reg] >> feature.bit) & 1u) != 0;
#endif
}

}  // namespace Cpu
}  // namespace OrvelMath
#endif

#endif  // ORVEL_MATH_DETAIL_CPU_FEATURES_H
