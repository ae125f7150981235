#ifndef ORVEL_MATH_DETAIL_OPERAND_LANES_H
#define ORVEL_MATH_DETAIL_OPERAND_LANES_H

// Private to OrvelLib. An operand's floats (a vector, a matrix's 16 elements, a float) in groups
// of up to four, as SIMD code reads them: the environment guard checks operands this way, and the
// operations check their results.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ORVEL_MATH_OPERAND_LANES_SSE2 1
#endif

namespace OrvelMath {

// Calls use(bytes, count) for each group of up to four of the operand's floats, with `count` a
// std::integral_constant from 1 to 4.
template <std::size_t first = 0, typename T, typename Use>
inline void ForEachGroup(const T& operand, Use use) {
  static_assert(sizeof(T) % sizeof(std::uint32_t) == 0, "operands are made of 32-bit floats");
  constexpr std::size_t kCount = sizeof(T) / sizeof(std::uint32_t) - first;
  use(reinterpret_cast<const unsigned char*>(&operand) + 4 * first,
      std::integral_constant<std::size_t, (kCount < 4 ? kCount : 4)>{});
  if constexpr (kCount > 4) ForEachGroup<first + 4>(operand, use);
}

#if defined(ORVEL_MATH_OPERAND_LANES_SSE2)
// `count` floats as 32-bit lanes, zero-padded.
template <std::size_t count>
inline __m128i LoadLanes(const unsigned char* bytes) {
  if constexpr (count == 1) return _mm_loadu_si32(bytes);
  if constexpr (count == 2) return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes));
  if constexpr (count == 3) return _mm_unpacklo_epi64(LoadLanes<2>(bytes), LoadLanes<1>(bytes + 8));
  if constexpr (count == 4) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}
#endif

}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_OPERAND_LANES_H
