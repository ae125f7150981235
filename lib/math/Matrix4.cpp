#include "math/detail/StrictFloat.h"

#include "math/Matrix4.h"

#include "math/detail/CanonicalNaN.h"
#include "math/detail/FloatEnvironment.h"
#include "math/detail/MatrixKernels.h"
#include "math/detail/MatrixOperations.h"

#if defined(ORVEL_MATH_KERNELS_AT_LOAD)
#include "math/detail/ChosenAtLoad.h"
#endif

namespace OrvelMath {
namespace {

// The float nearest pi/180 (bit pattern 0x3C8EFA35).
constexpr float kRadiansPerDegree = 0x1.1df46ap-6f;

template <Environment::Path kPath>
float DegreesToRadians(float degrees) {
  return Environment::InDefaultEnvironment<Environment::Least::kForToRadians, false, kPath>(
      [degrees] { return WithCanonicalNaN(degrees * kRadiansPerDegree); }, degrees);
}

}  // namespace

// Where the build chooses code when the library is loaded, Matrix4Selection.cpp defines these four
// members instead.
#if !defined(ORVEL_MATH_KERNELS_AT_LOAD)

Matrix4& Matrix4::Multiply(const Matrix4& other) {
  return MatrixOperations<Kernels::Fastest>::Product(*this, other);
}

// The library binds its own calls directly: no call through the PLT.
Matrix4& Matrix4::operator*=(const Matrix4& other) {
  return Multiply(other);
}

Vector4f Matrix4::Multiply(const Vector4f& v) const {
  return MatrixOperations<Kernels::Fastest>::Transform(*this, v);
}

Vector3f Matrix4::Multiply(const Vector3f& v) const {
  return MatrixOperations<Kernels::Fastest>::TransformPoint(*this, v);
}

#endif

#if defined(ORVEL_MATH_KERNELS_AT_LOAD)
extern "C" ORVEL_MATH_RESOLVER decltype(&DegreesToRadians<Environment::Path::kAsked>)
OrvelMathResolveToRadians() {
  return ForThisCpu(&DegreesToRadians<Environment::Path::kStateProbe>,
                    &DegreesToRadians<Environment::Path::kRoundingProbe>,
                    &DegreesToRadians<Environment::Path::kControlRegister>);
}
ORVEL_MATH_CHOSEN_AT_LOAD(float ToRadians(float), "OrvelMathResolveToRadians")
#else
float ToRadians(float degrees) {
  return DegreesToRadians<Environment::Path::kAsked>(degrees);
}
#endif

}  // namespace OrvelMath
