#ifndef ORVEL_MATH_MATRIX4_H
#define ORVEL_MATH_MATRIX4_H

// OrvelLib 4x4 matrix for homogeneous transforms, and degrees-to-radians conversion.
//
//   #include <OrvelLib/math/Matrix4.h>  // or <math/Matrix4.h>
//   using namespace OrvelMath;
//
//   Matrix4 model(1.0f);                 // identity
//   model.m[12] = 5.0f;                  // translation lives in m[12], m[13], m[14]
//   Matrix4 scale(2.0f);
//   scale.m[15] = 1.0f;
//   model *= scale;                      // model = model x scale: scaling applies first
//   Vector3f p = model.Multiply(Vector3f(1.0f, 0.0f, 0.0f));  // (7, 0, 0), a new value
//   Vector4f h = model.Multiply(Vector4f(1.0f, 0.0f, 0.0f, 1.0f));  // full 4x4, no divide by w
//   float angle = ToRadians(90.0f);
//
// Storage: `m` holds 16 floats in column-major order; row r, column c is m[4 * c + r], so the
// array can be handed to a graphics API as it is. Matrices are values in the host's storage; the
// library never allocates, keeps or frees one.
//
// Results: Multiply(const Matrix4&) and *= change the object and return a reference to it; the
// two vector transforms are const and return a new vector.
//
// Arithmetic: each element of a product starts from +0.0 and adds its four products in order;
// every product and sum is one single-precision operation rounded on its own, compiled inside the
// library, so results are the same bits on every platform, in any floating-point environment the
// host has set (see Vector.h). An operand may be the object itself (M.Multiply(M) gives M
// squared).

// Relative to this header, so that a host header of the same name can never be found instead.
#include "../OrvelApi.h"
#include "Vector.h"

namespace OrvelMath {

// 4x4 matrix; 16 32-bit floats, column-major.
struct ORVEL_API Matrix4 {
  float m[16];

  // Construction and copy assignment are compiled in place in hosts and exported too (see
  // Vector.h); they do no arithmetic.
  ORVEL_INLINE_MEMBER Matrix4() : m{} {}  // all elements 0
  // d on the diagonal, 0 elsewhere: Matrix4(1.0f) is the identity.
  ORVEL_INLINE_MEMBER explicit Matrix4(float d) : m{} { m[0] = m[5] = m[10] = m[15] = d; }
  Matrix4(const Matrix4& other) = default;
  ORVEL_INLINE_MEMBER Matrix4& operator=(const Matrix4& other) {
    // Through a local copy: the compiler then moves the 64 bytes with plain loads and stores
    // instead of calling memmove for a copy that might overlap.
    float copy[16];
    for (int i = 0; i < 16; ++i) copy[i] = other.m[i];
    for (int i = 0; i < 16; ++i) m[i] = copy[i];
    return *this;
  }

  // *this = *this x other. Transforming with the result applies `other` first, then the old
  // *this (column vectors).
  Matrix4& Multiply(const Matrix4& other);
  Matrix4& operator*=(const Matrix4& other);  // same as Multiply(other), returns *this

  // *this x v, all four rows.
  Vector4f Multiply(const Vector4f& v) const;
  // The first three rows of *this x (v.x, v.y, v.z, 1): applies rotation, scale and translation
  // to a point. The bottom row is never read and nothing is divided by w.
  Vector3f Multiply(const Vector3f& v) const;
};

// degrees x (the float nearest pi/180), one single-precision multiplication.
ORVEL_API float ToRadians(float degrees);

}  // namespace OrvelMath

#endif  // ORVEL_MATH_MATRIX4_H
