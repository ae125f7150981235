#ifndef ORVEL_TESTS_MATH_FLOAT_SUPPORT_H
#define ORVEL_TESTS_MATH_FLOAT_SUPPORT_H

// Bit-level float helpers, a platform-independent input generator, and uniform access to the
// vector types, shared by the math tests.

#include <math/Matrix4.h>
#include <math/Vector.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace OrvelTest {

inline std::uint32_t Bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

inline float FromBits(std::uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

// From the bits, so that it holds in a host built with -ffast-math too, where std::isnan may be
// folded to false.
inline bool IsNaN(float f) {
  return (Bits(f) & 0x7FFFFFFFu) > 0x7F800000u;
}

// splitmix64: the same sequence on every platform and standard library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

  // Floats that make arithmetic interesting: any bit pattern, special values, signed zeros,
  // NaNs of both signs, quiet and signalling, with and without payloads, denormals, large
  // cancelling magnitudes, and short-mantissa values in [-4, 4) whose products fall on or near
  // rounding ties.
  float InterestingFloat() {
    static const float kSpecials[] = {0.0f,
                                      -0.0f,
                                      1.0f,
                                      -1.0f,
                                      1e8f,
                                      -1e8f,
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      FromBits(0x7FC00000u),
                                      FromBits(0xFFC00000u),
                                      FromBits(0x7FC12345u),
                                      FromBits(0xFFEABCDEu),
                                      FromBits(0x7F800001u),
                                      FromBits(0xFFA54321u),
                                      std::numeric_limits<float>::denorm_min(),
                                      -std::numeric_limits<float>::denorm_min(),
                                      std::numeric_limits<float>::min(),
                                      std::numeric_limits<float>::max(),
                                      -std::numeric_limits<float>::max()};
    const std::uint32_t raw = static_cast<std::uint32_t>(Next());
    switch (Below(8)) {
      case 0:
        return FromBits(raw);
      case 1:
        return kSpecials[Below(sizeof kSpecials / sizeof kSpecials[0])];
      case 2:  // denormal or tiny normal
        return FromBits((raw & 0x80000000u) | (raw & 0x00FFFFFFu));
      case 3:  // around +-1e8, where adding 1 is lost
        return FromBits((raw & 0x80000000u) | (0x4CBEBC20u + (raw & 0xFu) - 8u));
      case 4:  // few significant bits: exact products, many ties
        return static_cast<float>(static_cast<std::int32_t>(raw >> 20) - 2048) / 512.0f;
      default:  // full-mantissa values, magnitudes in [0.5, 8)
        return FromBits((raw & 0x80000000u) | (0x3F000000u + (raw & 0x01FFFFFFu)));
    }
  }

 private:
  std::uint64_t state_;
};

// Default-constructs a T in storage first filled with a pattern, so that a component the
// constructor leaves unset shows as the pattern rather than as a lucky 0 from the stack. The
// pattern is written through volatile so that it can't be dropped as a dead store.
template <typename T>
T DefaultConstructedOverPattern() {
  alignas(T) unsigned char storage[sizeof(T)];
  volatile unsigned char* const bytes = storage;
  for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = 0xA5;
  return *::new (static_cast<void*>(storage)) T;
}

// Uniform component access for the three vector types.
template <typename V>
struct VectorTraits;

template <>
struct VectorTraits<OrvelMath::Vector2f> {
  static constexpr int kSize = 2;
  static OrvelMath::Vector2f Make(const float* c) { return OrvelMath::Vector2f(c[0], c[1]); }
  static std::array<float, 2> Get(const OrvelMath::Vector2f& v) { return {v.x, v.y}; }
};

template <>
struct VectorTraits<OrvelMath::Vector3f> {
  static constexpr int kSize = 3;
  static OrvelMath::Vector3f Make(const float* c) { return OrvelMath::Vector3f(c[0], c[1], c[2]); }
  static std::array<float, 3> Get(const OrvelMath::Vector3f& v) { return {v.x, v.y, v.z}; }
};

template <>
struct VectorTraits<OrvelMath::Vector4f> {
  static constexpr int kSize = 4;
  static OrvelMath::Vector4f Make(const float* c) {
    return OrvelMath::Vector4f(c[0], c[1], c[2], c[3]);
  }
  static std::array<float, 4> Get(const OrvelMath::Vector4f& v) { return {v.x, v.y, v.z, v.w}; }
};

template <typename V>
V RandomVector(Random& random) {
  float c[4];
  for (float& f : c) f = random.InterestingFloat();
  return VectorTraits<V>::Make(c);
}

inline OrvelMath::Matrix4 RandomMatrix(Random& random) {
  OrvelMath::Matrix4 result;
  for (float& f : result.m) f = random.InterestingFloat();
  return result;
}

}  // namespace OrvelTest

#endif  // ORVEL_TESTS_MATH_FLOAT_SUPPORT_H
