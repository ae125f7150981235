#ifndef ORVEL_EXAMPLES_WIREFRAME_FLOAT_BITS_H
#define ORVEL_EXAMPLES_WIREFRAME_FLOAT_BITS_H

// Tests on a float's bit pattern. A host built with -ffast-math may assume that no value is a NaN
// or an infinity and fold `x == x` or std::isfinite(x) to true; these tests hold there too.

#include <cstdint>
#include <cstring>

inline std::uint32_t BitsOf(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline bool IsFinite(float value) {
  return (BitsOf(value) & 0x7f800000u) != 0x7f800000u;
}

inline bool IsNaN(float value) {
  return (BitsOf(value) & 0x7fffffffu) > 0x7f800000u;
}

#endif  // ORVEL_EXAMPLES_WIREFRAME_FLOAT_BITS_H
