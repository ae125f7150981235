// The four matrix members where the build chooses code when the library is loaded (x86-64 Linux
// with glibc, ChosenAtLoad.h): each member's resolver returns its copy for this CPU, on the Avx
// kernel set or the Simd one, and on the environment guard's path. operator*= has its own entry,
// resolved to the same code as Multiply.

#include "math/detail/StrictFloat.h"

#include "math/Matrix4.h"

#include "math/detail/ChosenAtLoad.h"
#include "math/detail/MatrixKernels.h"
#include "math/detail/MatrixOperations.h"

namespace OrvelMath {
namespace {

using Environment::Path;

template <Path kPath>
using Baseline = MatrixOperations<Kernels::Fastest, kPath>;

// The Avx operations, instantiated inside functions compiled for AVX. Flattened: the guard's
// lambda is not compiled for AVX, so without it the kernel would stay a call of its own.
#define ORVEL_MATH_AVX_ENTRY ORVEL_MATH_TARGET_AVX __attribute__((flatten))
template <Path kPath>
ORVEL_MATH_AVX_ENTRY Matrix4& ProductAvx(Matrix4& self, const Matrix4& other) {
  return MatrixOperations<Kernels::Avx, kPath>::Product(self, other);
}
template <Path kPath>
ORVEL_MATH_AVX_ENTRY Vector4f TransformAvx(const Matrix4& self, const Vector4f& v) {
  return MatrixOperations<Kernels::Avx, kPath>::Transform(self, v);
}
template <Path kPath>
ORVEL_MATH_AVX_ENTRY Vector3f TransformPointAvx(const Matrix4& self, const Vector3f& p) {
  return MatrixOperations<Kernels::Avx, kPath>::TransformPoint(self, p);
}
#undef ORVEL_MATH_AVX_ENTRY

using ProductFunction = Matrix4& (*)(Matrix4&, const Matrix4&);
using TransformFunction = Vector4f (*)(const Matrix4&, const Vector4f&);
using TransformPointFunction = Vector3f (*)(const Matrix4&, const Vector3f&);

}  // namespace

// Each resolver: the Avx copy where the process may run AVX code, the Simd one otherwise, each
// for this CPU's path.
extern "C" {
ORVEL_MATH_RESOLVER ProductFunction OrvelMathResolveProduct() {
  return Kernels::Avx::Usable()
             ? ForThisCpu<ProductFunction>(&ProductAvx<Path::kStateProbe>,
                                           &ProductAvx<Path::kRoundingProbe>,
                                           &ProductAvx<Path::kControlRegister>)
             : ForThisCpu<ProductFunction>(&Baseline<Path::kStateProbe>::Product,
                                           &Baseline<Path::kRoundingProbe>::Product,
                                           &Baseline<Path::kControlRegister>::Product);
}
ORVEL_MATH_RESOLVER TransformFunction OrvelMathResolveTransform() {
  return Kernels::Avx::Usable()
             ? ForThisCpu<TransformFunction>(&TransformAvx<Path::kStateProbe>,
                                             &TransformAvx<Path::kRoundingProbe>,
                                             &TransformAvx<Path::kControlRegister>)
             : ForThisCpu<TransformFunction>(&Baseline<Path::kStateProbe>::Transform,
                                             &Baseline<Path::kRoundingProbe>::Transform,
                                             &Baseline<Path::kControlRegister>::Transform);
}
ORVEL_MATH_RESOLVER TransformPointFunction OrvelMathResolveTransformPoint() {
  return Kernels::Avx::Usable()
             ? ForThisCpu<TransformPointFunction>(&TransformPointAvx<Path::kStateProbe>,
                                                  &TransformPointAvx<Path::kRoundingProbe>,
                                                  &TransformPointAvx<Path::kControlRegister>)
             : ForThisCpu<TransformPointFunction>(
                   &Baseline<Path::kStateProbe>::TransformPoint,
                   &Baseline<Path::kRoundingProbe>::TransformPoint,
                   &Baseline<Path::kControlRegister>::TransformPoint);
}
}

ORVEL_MATH_CHOSEN_AT_LOAD(Matrix4& Matrix4::Multiply(const Matrix4&), "OrvelMathResolveProduct")
ORVEL_MATH_CHOSEN_AT_LOAD(Matrix4& Matrix4::operator*=(const Matrix4&), "OrvelMathResolveProduct")
ORVEL_MATH_CHOSEN_AT_LOAD(Vector4f Matrix4::Multiply(const Vector4f&) const,
                          "OrvelMathResolveTransform")
ORVEL_MATH_CHOSEN_AT_LOAD(Vector3f Matrix4::Multiply(const Vector3f&) const,
                          "OrvelMathResolveTransformPoint")

}  // namespace OrvelMath
