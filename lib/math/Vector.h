#ifndef ORVEL_MATH_VECTOR_H
#define ORVEL_MATH_VECTOR_H

// OrvelLib vectors: Vector2f, Vector3f and Vector4f, plain structs of 32-bit floats.
//
//   #include <OrvelLib/math/Vector.h>  // or <math/Vector.h>
//   using OrvelMath::Vector3f;
//
//   Vector3f a(1.0f, 2.0f, 3.0f);
//   Vector3f b(4.0f, 5.0f, 6.0f);
//   a.Add(b).Multiply(2.0f);   // named operations change `a` and return a reference to it
//   Vector3f c = (a -= b);     // compound operators change `a` and return a copy of it
//   float d = a.DotProduct(b); // 1*4 + 2*5 + 3*6, summed left to right
//
// Ownership: vectors are values in the host's storage (stack, members, arrays). The library never
// allocates, keeps or frees one, and an array of vectors is a packed array of floats.
//
// Not const: DotProduct, == and != are non-const members, so call them on non-const objects.
//
// Construction and copy assignment are defined here so that hosts compile them in place (a loop
// `out[i] = m.Multiply(in[i])` then makes one library call per point, not two); the library exports
// them too. They copy floats and do no arithmetic.
//
// Arithmetic: every component operation is one IEEE-754 single-precision operation, rounded on
// its own, in the order x, y, z, w. It is compiled inside the library, so the result bits do not
// depend on the host's compiler or flags. An operand may be the object itself (v.Add(v)).
// Infinities, NaN and denormals pass through as IEEE-754 says; nothing throws.
//
// Floating-point environment: every operation, comparisons included, computes as in IEEE-754's
// default environment (round to nearest even, denormals kept) whatever rounding mode or
// flush-to-zero the calling thread has set, and hands that state back unchanged; the status flags
// the operation raised are added to the thread's, and exception traps the host enabled stay on.

// Relative to this header, so that a host header of the same name can never be found instead.
#include "../OrvelApi.h"

namespace OrvelMath {

// 2D vector; 32-bit float components.
struct ORVEL_API Vector2f {
  float x;
  float y;

  ORVEL_INLINE_MEMBER Vector2f() : x(0.0f), y(0.0f) {}
  ORVEL_INLINE_MEMBER Vector2f(const float& xValue, const float& yValue) : x(xValue), y(yValue) {}
  Vector2f(const Vector2f& other) = default;
  ORVEL_INLINE_MEMBER Vector2f& operator=(const Vector2f& other) {
    x = other.x;
    y = other.y;
    return *this;
  }

  Vector2f& Add(const Vector2f& other);       // c = other.c + c, returns *this
  Vector2f& Subtract(const Vector2f& other);  // c = c - other.c, returns *this
  Vector2f& Multiply(float s);                // c = c * s, returns *this
  float DotProduct(const Vector2f& other);    // x*other.x + y*other.y

  Vector2f operator+=(const Vector2f& other);  // as Add, returns a copy
  Vector2f operator-=(const Vector2f& other);  // as Subtract, returns a copy
  Vector2f operator*=(float s);                // as Multiply, returns a copy

  bool operator==(const Vector2f& other);  // IEEE-754 equality of every component
  bool operator!=(const Vector2f& other);  // !(*this == other)
};

// 3D vector; 32-bit float components.
struct ORVEL_API Vector3f {
  float x;
  float y;
  float z;

  ORVEL_INLINE_MEMBER Vector3f() : x(0.0f), y(0.0f), z(0.0f) {}
  ORVEL_INLINE_MEMBER Vector3f(const float& xValue, const float& yValue, const float& zValue)
      : x(xValue), y(yValue), z(zValue) {}
  Vector3f(const Vector3f& other) = default;
  ORVEL_INLINE_MEMBER Vector3f& operator=(const Vector3f& other) {
    x = other.x;
    y = other.y;
    z = other.z;
    return *this;
  }

  Vector3f& Add(const Vector3f& other);
  Vector3f& Subtract(const Vector3f& other);
  Vector3f& Multiply(float s);
  float DotProduct(const Vector3f& other);  // (x*other.x + y*other.y) + z*other.z

  Vector3f operator+=(const Vector3f& other);
  Vector3f operator-=(const Vector3f& other);
  Vector3f operator*=(float s);

  bool operator==(const Vector3f& other);
  bool operator!=(const Vector3f& other);
};

// 4D (homogeneous) vector; 32-bit float components.
struct ORVEL_API Vector4f {
  float x;
  float y;
  float z;
  float w;

  ORVEL_INLINE_MEMBER Vector4f() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
  ORVEL_INLINE_MEMBER Vector4f(const float& xValue, const float& yValue, const float& zValue,
                               const float& wValue)
      : x(xValue), y(yValue), z(zValue), w(wValue) {}
  Vector4f(const Vector4f& other) = default;
  ORVEL_INLINE_MEMBER Vector4f& operator=(const Vector4f& other) {
    x = other.x;
    y = other.y;
    z = other.z;
    w = other.w;
    return *this;
  }

  Vector4f& Add(const Vector4f& other);
  Vector4f& Subtract(const Vector4f& other);
  Vector4f& Multiply(float s);
  float DotProduct(const Vector4f& other);  // ((x*other.x + y*other.y) + z*other.z) + w*other.w

  Vector4f operator+=(const Vector4f& other);
  Vector4f operator-=(const Vector4f& other);
  Vector4f operator*=(float s);

  bool operator==(const Vector4f& other);
  bool operator!=(const Vector4f& other);
};

}  // namespace OrvelMath

#endif  // ORVEL_MATH_VECTOR_H
