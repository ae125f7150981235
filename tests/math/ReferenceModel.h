#ifndef ORVEL_TESTS_MATH_REFERENCE_MODEL_H
#define ORVEL_TESTS_MATH_REFERENCE_MODEL_H

// An independent model of the library's arithmetic. Every step is done in double and rounded to
// float at once: a product of two floats is exact in double, and a sum of two floats rounded
// through double is correctly rounded (53 >= 2 * 24 + 2), so each step equals one IEEE-754
// single-precision operation, and every NaN it makes is the canonical quiet NaN 0x7FC00000. The
// order of the steps is written out here from the contract, not taken from the library.
//
// The model holds whatever flags its test is built with: each double passes through a volatile
// before it is rounded, so no compiler can narrow a step back to a float operation and then fuse
// a product into the next sum (GCC does both at -ffp-contract=fast with FMA available).

#include "math/FloatSupport.h"

#include <array>
#include <cstddef>

namespace OrvelTest {
namespace Reference {

inline float Rounded(double exactOrCorrectlyRounded) {
  const volatile double kept = exactOrCorrectlyRounded;
  const float rounded = static_cast<float>(kept);
  return IsNaN(rounded) ? FromBits(0x7FC00000u) : rounded;
}

inline float Add(float a, float b) {
  return Rounded(static_cast<double>(a) + static_cast<double>(b));
}
inline float Subtract(float a, float b) {
  return Rounded(static_cast<double>(a) - static_cast<double>(b));
}
inline float Multiply(float a, float b) {
  return Rounded(static_cast<double>(a) * static_cast<double>(b));
}

// The vector updates, component by component: c = other.c + c, c = c - other.c, c = c * s.
template <std::size_t N>
std::array<float, N> Sum(const std::array<float, N>& object, const std::array<float, N>& other) {
  std::array<float, N> r{};
  for (std::size_t i = 0; i < N; ++i) r[i] = Add(other[i], object[i]);
  return r;
}
template <std::size_t N>
std::array<float, N> Difference(const std::array<float, N>& object,
                                const std::array<float, N>& other) {
  std::array<float, N> r{};
  for (std::size_t i = 0; i < N; ++i) r[i] = Subtract(object[i], other[i]);
  return r;
}
template <std::size_t N>
std::array<float, N> Scaled(const std::array<float, N>& object, float s) {
  std::array<float, N> r{};
  for (std::size_t i = 0; i < N; ++i) r[i] = Multiply(object[i], s);
  return r;
}

// IEEE-754 equality of every component: NaN equals nothing, +0.0 equals -0.0.
template <std::size_t N>
bool Equal(const std::array<float, N>& a, const std::array<float, N>& b) {
  for (std::size_t i = 0; i < N; ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

// s = a0*b0; s = s + a1*b1; ... (no leading 0.0)
template <std::size_t N>
float Dot(const std::array<float, N>& a, const std::array<float, N>& b) {
  float s = Multiply(a[0], b[0]);
  for (std::size_t i = 1; i < N; ++i) s = Add(s, Multiply(a[i], b[i]));
  return s;
}

using Matrix = std::array<float, 16>;  // column-major: row r, column c at [4 * c + r]

inline float At(const Matrix& m, int row, int column) {
  return m[4 * column + row];
}

// Each element starts from +0.0 and adds row(a) . column(b) term by term.
inline Matrix Product(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) {
      float s = 0.0f;
      for (int i = 0; i < 4; ++i) s = Add(s, Multiply(At(a, row, i), At(b, i, column)));
      r[4 * column + row] = s;
    }
  }
  return r;
}

// Rows 0..rows-1 of m x (x, y, z, w): ((m_r0*x + m_r1*y) + m_r2*z) + m_r3*w.
template <std::size_t Rows>
std::array<float, Rows> Transform(const Matrix& m, float x, float y, float z, float w) {
  std::array<float, Rows> r{};
  for (std::size_t row = 0; row < Rows; ++row) {
    const int i = static_cast<int>(row);
    float s = Multiply(At(m, i, 0), x);
    s = Add(s, Multiply(At(m, i, 1), y));
    s = Add(s, Multiply(At(m, i, 2), z));
    s = Add(s, Multiply(At(m, i, 3), w));
    r[row] = s;
  }
  return r;
}

inline float ToRadians(float degrees) {
  return Multiply(degrees, 0.01745329238474369049072265625f);
}

}  // namespace Reference
}  // namespace OrvelTest

#endif  // ORVEL_TESTS_MATH_REFERENCE_MODEL_H
