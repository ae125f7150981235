#ifndef ORVEL_MATH_DETAIL_FLUSH_FREE_OPERANDS_H
#define ORVEL_MATH_DETAIL_FLUSH_FREE_OPERANDS_H

// Private to OrvelLib. When flush-to-zero and denormals-are-zero cannot change a result.
//
// Flush-to-zero acts only on a tiny result (nonzero, magnitude below 2^-126); denormals-are-zero
// only on a denormal operand. So an operation whose operands, intermediates and result are never
// tiny gives the default environment's bits, and raises its flags, with either mode on. Each
// operation has a least magnitude that its nonzero finite operands must reach for that to hold.
// Write G for the integer multiples of 2^-126:
//
// - A float of magnitude at least 2^e is a multiple of its unit in the last place, 2^(e-23) or
//   more: from 2^-103 up, every float is in G.
// - A nonzero value in G has magnitude at least 2^-126, so it is never tiny, and neither is its
//   rounding (rounding is monotonic and 2^-126 is a float). The rounding stays in G: at or above
//   2^-103 every float is, and below it a value in G has at most 23 significant bits and is exact.
// - Sums and differences of values in G are in G.
//
// Hence:
// - Sums and differences: operands of at least 2^-103 are in G, and so is every result.
// - Sums of products (the dot products, the matrix product and both transforms, whose added
//   translation counts as a factor): factors of at least 0x25B504F4, the least float whose square
//   reaches 2^-103 (about 2^-51.5), give products of at least 2^-103, never tiny, rounded to
//   floats of at least 2^-103, in G; so are the sums, from +0.0 on.
// - A single product: factors of at least 2^-63 give at least 2^-126 exactly.
// - ToRadians multiplies by 0x1.1df46ap-6; 0x03652EE1 is the least float whose exact product
//   with it reaches 2^-126.
// - Comparisons produce no result to flush and only need operands that are not denormal.
// Zeros, infinities and NaNs never make a tiny value in these operations, so they always pass.
// Each bound is tight: one ulp below it, some operands make a denormal (the tests try them). The
// check raises no flag, since it looks only at the bits.

#include "math/detail/OperandLanes.h"

#include <cstdint>
#include <cstring>

#if defined(ORVEL_MATH_OPERAND_LANES_SSE2)
#define ORVEL_MATH_FLUSH_FREE_SSE2 1
#endif

namespace OrvelMath {
namespace Environment {

// The least magnitudes above, as float bit patterns.
namespace Least {
constexpr std::uint32_t kForSums = 0x0C000000u;         // 2^-103
constexpr std::uint32_t kForProducts = 0x25B504F4u;     // 1.41 * 2^-52, products that are summed
constexpr std::uint32_t kForScaling = 0x20000000u;      // 2^-63, one product
constexpr std::uint32_t kForToRadians = 0x03652EE1u;    // 1.79 * 2^-121
constexpr std::uint32_t kForComparisons = 0x00800000u;  // 2^-126, the least normal
}  // namespace Least

// An operand below the least magnitude is nonzero with |bits| < kLeast. With the sign shifted out
// and 1 subtracted, a zero wraps around to the largest value, so one unsigned comparison asks it:
// (2 * bits - 1) < (2 * kLeast - 1).

#if defined(ORVEL_MATH_FLUSH_FREE_SSE2)
// SSE2 compares signed integers, so the comparison above is made on keys shifted by 2^31, which
// adding 0x7FFFFFFF instead of subtracting 1 does in one step: an operand is below kLeast when its
// key is less than KeyOf(kLeast), and a zero's key is the largest.
constexpr std::uint32_t kKeyBias = 0x7FFFFFFFu;
constexpr std::int32_t KeyOf(std::uint32_t least) {
  return static_cast<std::int32_t>(2 * least - 1) + INT32_MIN;  // 2 * least - 1 < 2^31
}

inline __m128i Keys(__m128i bits) {
  return _mm_add_epi32(_mm_add_epi32(bits, bits), _mm_set1_epi32(static_cast<int>(kKeyBias)));
}

template <std::uint32_t kLeast, typename... Operands>
inline bool NoneBelow(const Operands&... operands) {
  __m128i below = _mm_setzero_si128();
  const auto note = [&below](const unsigned char* bytes, auto count) {
    const __m128i keys = Keys(LoadLanes<decltype(count)::value>(bytes));
    below = _mm_or_si128(below, _mm_cmplt_epi32(keys, _mm_set1_epi32(KeyOf(kLeast))));
  };
  (ForEachGroup(operands, note), ...);
  return _mm_movemask_epi8(below) == 0;
}
#else
template <std::uint32_t kLeast, typename T>
inline bool AnyBelow(const T& operand) {
  static_assert(sizeof(T) % sizeof(std::uint32_t) == 0, "operands are made of 32-bit floats");
  std::uint32_t bits[sizeof(T) / sizeof(std::uint32_t)];
  std::memcpy(bits, &operand, sizeof bits);
  bool below = false;
  for (const std::uint32_t b : bits) below |= (b << 1) - 1u < (kLeast << 1) - 1u;
  return below;
}

template <std::uint32_t kLeast, typename... Operands>
inline bool NoneBelow(const Operands&... operands) {
  return !(... || AnyBelow<kLeast>(operands));
}
#endif

}  // namespace Environment
}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_FLUSH_FREE_OPERANDS_H
