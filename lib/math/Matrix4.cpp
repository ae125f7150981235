#include "math/StrictFloat.h"

#include "math/Matrix4.h"

#include "math/FloatEnvironment.h"
#include "math/MatrixKernels.h"

namespace OrvelMath {
namespace {

// The float nearest pi/180 (bit pattern 0x3C8EFA35).
constexpr float kRadiansPerDegree = 0x1.1df46ap-6f;

}  // namespace

// Every operation runs its arithmetic in the default floating-point environment. The kernels read
// every input before writing, so `other` may be *this.
Matrix4& Matrix4::Multiply(const Matrix4& other) {
  Environment::InDefaultEnvironment([&] { Kernels::Fastest::Product(m, other.m, m); });
  return *this;
}

Matrix4& Matrix4::operator*=(const Matrix4& other) {
  return Multiply(other);
}

Vector4f Matrix4::Multiply(const Vector4f& v) const {
  return Environment::InDefaultEnvironment([&] { return Kernels::Fastest::Transform(m, v); });
}

Vector3f Matrix4::Multiply(const Vector3f& v) const {
  return Environment::InDefaultEnvironment([&] { return Kernels::Fastest::TransformPoint(m, v); });
}

float ToRadians(float degrees) {
  return Environment::InDefaultEnvironment([](float d) { return d * kRadiansPerDegree; }, degrees);
}

}  // namespace OrvelMath
