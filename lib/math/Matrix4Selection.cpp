// The four matrix members where the build chooses kernels when the library is loaded (x86-64
// Linux with glibc): each member is a GNU indirect function whose resolver returns the Avx or the
// Simd operation, and the dynamic linker writes that address into the caller's slot, so a host's
// call enters the chosen code directly. Inside the library nothing calls these members (a call to
// an indirect function goes through a PLT slot): operator*= has its own entry, resolved to the
// same code as Multiply.

#include "math/detail/StrictFloat.h"

#include "math/Matrix4.h"

#include "math/detail/MatrixKernels.h"
#include "math/detail/MatrixOperations.h"

namespace OrvelMath {
namespace {

using Baseline = MatrixOperations<Kernels::Fastest>;

// The Avx operations, instantiated inside functions compiled for AVX. Flattened: the guard's
// lambda is not compiled for AVX, so without it the kernel would stay a call of its own.
#define ORVEL_MATH_AVX_ENTRY ORVEL_MATH_TARGET_AVX __attribute__((flatten))
ORVEL_MATH_AVX_ENTRY Matrix4& ProductAvx(Matrix4& self, const Matrix4& other) {
  return MatrixOperations<Kernels::Avx>::Product(self, other);
}
ORVEL_MATH_AVX_ENTRY Vector4f TransformAvx(const Matrix4& self, const Vector4f& v) {
  return MatrixOperations<Kernels::Avx>::Transform(self, v);
}
ORVEL_MATH_AVX_ENTRY Vector3f TransformPointAvx(const Matrix4& self, const Vector3f& p) {
  return MatrixOperations<Kernels::Avx>::TransformPoint(self, p);
}
#undef ORVEL_MATH_AVX_ENTRY

}  // namespace

// Resolvers run while the dynamic linker relocates the objects that call the library, before any
// constructor.
extern "C" {
#define ORVEL_MATH_RESOLVER ORVEL_MATH_UNINSTRUMENTED __attribute__((visibility("hidden")))
ORVEL_MATH_RESOLVER decltype(&ProductAvx) OrvelMathResolveProduct() {
  return Kernels::Avx::Usable() ? &ProductAvx : &Baseline::Product;
}
ORVEL_MATH_RESOLVER decltype(&TransformAvx) OrvelMathResolveTransform() {
  return Kernels::Avx::Usable() ? &TransformAvx : &Baseline::Transform;
}
ORVEL_MATH_RESOLVER decltype(&TransformPointAvx) OrvelMathResolveTransformPoint() {
  return Kernels::Avx::Usable() ? &TransformPointAvx : &Baseline::TransformPoint;
}
#undef ORVEL_MATH_RESOLVER
}

// GCC's documented way to make a member an indirect function; Clang accepts it too, once told
// that these declarations stand for the definitions.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wout-of-line-declaration"
#endif
Matrix4& Matrix4::Multiply(const Matrix4&) __attribute__((ifunc("OrvelMathResolveProduct")));
Matrix4& Matrix4::operator*=(const Matrix4&) __attribute__((ifunc("OrvelMathResolveProduct")));
Vector4f Matrix4::Multiply(const Vector4f&) const
    __attribute__((ifunc("OrvelMathResolveTransform")));
Vector3f Matrix4::Multiply(const Vector3f&) const
    __attribute__((ifunc("OrvelMathResolveTransformPoint")));
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

}  // namespace OrvelMath
