#include "math/StrictFloat.h"

#include "math/Matrix4.h"

#include <cstddef>

namespace OrvelMath {
namespace {

// The float nearest pi/180 (bit pattern 0x3C8EFA35).
constexpr float kRadiansPerDegree = 0x1.1df46ap-6f;

// Row i of m x (x, y, z, w): ((m[i]*x + m[4+i]*y) + m[8+i]*z) + m[12+i]*w, each step rounded.
float TransformRow(const float* m, int i, float x, float y, float z, float w) {
  float sum = m[i] * x;
  sum = sum + m[4 + i] * y;
  sum = sum + m[8 + i] * z;
  sum = sum + m[12 + i] * w;
  return sum;
}

}  // namespace

Matrix4::Matrix4() : m{} {}

Matrix4::Matrix4(float d) : m{} {
  m[0] = m[5] = m[10] = m[15] = d;
}

Matrix4& Matrix4::operator=(const Matrix4& other) {
  for (int i = 0; i < 16; ++i) m[i] = other.m[i];
  return *this;
}

Matrix4& Matrix4::Multiply(const Matrix4& other) {
  // Built in a temporary so that `other` may be *this.
  const float* a = m;
  const float* b = other.m;
  float r[16];
  for (std::size_t k = 0; k < 4; ++k) {
    for (std::size_t j = 0; j < 4; ++j) {
      float sum = 0.0f;  // +0.0: an element whose products are all -0.0 comes out +0.0
      sum = sum + a[j] * b[4 * k];
      sum = sum + a[4 + j] * b[4 * k + 1];
      sum = sum + a[8 + j] * b[4 * k + 2];
      sum = sum + a[12 + j] * b[4 * k + 3];
      r[4 * k + j] = sum;
    }
  }
  for (int i = 0; i < 16; ++i) m[i] = r[i];
  return *this;
}

Matrix4& Matrix4::operator*=(const Matrix4& other) {
  return Multiply(other);
}

Vector4f Matrix4::Multiply(const Vector4f& v) const {
  return Vector4f(TransformRow(m, 0, v.x, v.y, v.z, v.w), TransformRow(m, 1, v.x, v.y, v.z, v.w),
                  TransformRow(m, 2, v.x, v.y, v.z, v.w), TransformRow(m, 3, v.x, v.y, v.z, v.w));
}

Vector3f Matrix4::Multiply(const Vector3f& v) const {
  // w = 1: the last column (translation) is added as it is, and row 3 is never read.
  return Vector3f(TransformRow(m, 0, v.x, v.y, v.z, 1.0f), TransformRow(m, 1, v.x, v.y, v.z, 1.0f),
                  TransformRow(m, 2, v.x, v.y, v.z, 1.0f));
}

float ToRadians(float degrees) {
  return degrees * kRadiansPerDegree;
}

}  // namespace OrvelMath
