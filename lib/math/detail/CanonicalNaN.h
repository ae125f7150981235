#ifndef ORVEL_MATH_DETAIL_CANONICAL_NAN_H
#define ORVEL_MATH_DETAIL_CANONICAL_NAN_H

// Private to OrvelLib. Every NaN an operation computes leaves the library as one pattern, the
// quiet NaN 0x7FC00000: positive, payload zero. IEEE-754 asks only that a NaN result be quiet, and
// what else it holds differs: x86 makes 0xFFC00000 for an invalid operation and passes on its
// first operand's NaN, which operand a compiler puts first in a commutative sum is its own choice,
// ARM prefers a signalling operand, RISC-V passes no payload on, and WebAssembly leaves it to the
// engine. Hosts that hash results or sort by their bits need the one pattern.
//
// The test raises no flag: a comparison of a result with itself is a quiet one, and arithmetic
// makes only quiet NaNs. NaNs are rare, so each result takes one predicted branch, and the fix-up
// is out of line. Values a host stores and copies are never touched.

#include "math/detail/ControlRegister.h"
#include "math/detail/OperandLanes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace OrvelMath {

constexpr std::uint32_t kCanonicalNaNBits = 0x7FC00000u;

inline float WithCanonicalNaN(float result) {
  if (ORVEL_MATH_LIKELY(result == result)) return result;
  // A branch, not a select: the empty asm keeps the compiler from computing both sides.
  ORVEL_MATH_KEEP_BRANCH();
  float canonical;
  std::memcpy(&canonical, &kCanonicalNaNBits, sizeof canonical);
  return canonical;
}

#if defined(ORVEL_MATH_OPERAND_LANES_SSE2)
// The canonical NaN in every lane that holds a NaN.
inline __m128 CanonicalLanes(__m128 lanes) {
  const __m128 unordered = _mm_cmpunord_ps(lanes, lanes);
  const __m128 canonical = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(kCanonicalNaNBits)));
  return _mm_or_ps(_mm_andnot_ps(unordered, lanes), _mm_and_ps(unordered, canonical));
}
#endif

// Whether any of the floats of a vector, or of any other struct of floats, is a NaN.
template <typename T>
inline bool AnyNaN(const T& results) {
  static_assert(sizeof(T) % sizeof(float) == 0, "results are made of floats");
#if defined(ORVEL_MATH_OPERAND_LANES_SSE2)
  // Three floats as two groups whose masks are or-ed, cheaper than one register of three lanes; a
  // lone float loaded as a float, which the compiler then takes from where it computed it.
  __m128 unordered = _mm_setzero_ps();
  const auto note = [&unordered](__m128 lanes) {
    unordered = _mm_or_ps(unordered, _mm_cmpunord_ps(lanes, lanes));
  };
  ForEachGroup(results, [&note](const unsigned char* bytes, auto count) {
    const auto* floats = reinterpret_cast<const float*>(bytes);
    if constexpr (count == 1 || count == 3) note(_mm_load_ss(floats + count - 1));
    if constexpr (count == 2 || count == 3) note(_mm_castsi128_ps(LoadLanes<2>(bytes)));
    if constexpr (count == 4) note(_mm_loadu_ps(floats));
  });
  return _mm_movemask_ps(unordered) != 0;
#else
  const auto* bytes = reinterpret_cast<const unsigned char*>(&results);
  bool any = false;
  for (std::size_t at = 0; at < sizeof(T); at += sizeof(float)) {
    float f;
    std::memcpy(&f, bytes + at, sizeof f);
    any |= f != f;
  }
  return any;
#endif
}

// The fix-up for a struct of floats, out of line: the canonical NaN over every NaN.
template <typename T>
ORVEL_MATH_COLD void CanonicalizeNaNsIn(T& results) {
  auto* bytes = reinterpret_cast<unsigned char*>(&results);
  for (std::size_t at = 0; at < sizeof(T); at += sizeof(float)) {
    float f;
    std::memcpy(&f, bytes + at, sizeof f);
    if (f != f) std::memcpy(bytes + at, &kCanonicalNaNBits, sizeof f);
  }
}

// For a vector or any other struct of floats, once the operation has written it.
template <typename T>
inline void WithCanonicalNaNs(T& results) {
  if (ORVEL_MATH_UNLIKELY(AnyNaN(results))) CanonicalizeNaNsIn(results);
}

}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_CANONICAL_NAN_H
