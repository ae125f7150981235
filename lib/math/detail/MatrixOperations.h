#ifndef ORVEL_MATH_DETAIL_MATRIX_OPERATIONS_H
#define ORVEL_MATH_DETAIL_MATRIX_OPERATIONS_H

// Private to OrvelLib. The matrix members over one kernel set, each running its arithmetic in the
// default floating-point environment with the guard on one common path (kAsked: the path asked of
// the CPU by the first call). The kernels read every input before writing, so `other` may be
// `self`.

#include "math/detail/StrictFloat.h"

#include "math/Matrix4.h"

#include "math/detail/FloatEnvironment.h"

namespace OrvelMath {

template <typename Kernels, Environment::Path kPath = Environment::Path::kAsked>
struct MatrixOperations {
  static Matrix4& Product(Matrix4& self, const Matrix4& other) {
    InDefaultEnvironment([&] { Kernels::Product(self.m, other.m, self.m); }, self.m, other.m);
    return self;
  }
  static Vector4f Transform(const Matrix4& self, const Vector4f& v) {
    return InDefaultEnvironment([&] { return Kernels::Transform(self.m, v); }, self.m, v);
  }
  static Vector3f TransformPoint(const Matrix4& self, const Vector3f& p) {
    return InDefaultEnvironment([&] { return Kernels::TransformPoint(self.m, p); }, self.m, p);
  }

 private:
  template <typename Compute, typename... Operands>
  static auto InDefaultEnvironment(Compute compute, const Operands&... operands) {
    return Environment::InDefaultEnvironment<Environment::Least::kForProducts, Kernels::kVexEncoded,
                                             kPath>(compute, operands...);
  }
};

}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_MATRIX_OPERATIONS_H
