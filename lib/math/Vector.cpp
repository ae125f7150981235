#include "math/detail/StrictFloat.h"

#include "math/Vector.h"

#include "math/detail/CanonicalNaN.h"
#include "math/detail/FloatEnvironment.h"

namespace OrvelMath {
namespace {

// The components of each vector type, in the order every operation visits them. The member
// pointers are template arguments, so every loop below is a fold over constants: straight-line
// code at -O2 too, where a loop over a table of member pointers would stay a loop.
template <typename V, float V::*First, float V::*... Rest>
struct ComponentList {
  template <typename F>
  static void ForEach(F f) {
    f(First);
    (f(Rest), ...);
  }

  // Starts from the first product (no 0.0 added, so -0.0 results survive) and sums left to right.
  static float Dot(const V& a, const V& b) {
    float sum = a.*First * b.*First;
    ((sum = sum + a.*Rest * b.*Rest), ...);
    return WithCanonicalNaN(sum);
  }

  // x first, then y, z, w; false at the first component that is not equal.
  static bool AllEqual(const V& a, const V& b) {
    return a.*First == b.*First && (... && (a.*Rest == b.*Rest));
  }
};

template <typename V>
struct Components;

template <>
struct Components<Vector2f> : ComponentList<Vector2f, &Vector2f::x, &Vector2f::y> {};

template <>
struct Components<Vector3f> : ComponentList<Vector3f, &Vector3f::x, &Vector3f::y, &Vector3f::z> {};

template <>
struct Components<Vector4f>
    : ComponentList<Vector4f, &Vector4f::x, &Vector4f::y, &Vector4f::z, &Vector4f::w> {};

// The operand is copied before anything is written: `other` may be `self` (the copy then holds the
// same values), and two vectors never partly overlap, so this reads what the component-by-component
// order reads, and the compiler is free to do the components side by side. A NaN result comes out
// as the canonical one (CanonicalNaN.h).

template <typename V>
void AddInPlace(V& self, const V& other) {
  const V operand = other;
  Components<V>::ForEach([&](float V::*c) { self.*c = operand.*c + self.*c; });
  WithCanonicalNaNs(self);
}

template <typename V>
void SubtractInPlace(V& self, const V& other) {
  const V operand = other;
  Components<V>::ForEach([&](float V::*c) { self.*c = self.*c - operand.*c; });
  WithCanonicalNaNs(self);
}

template <typename V>
void ScaleInPlace(V& self, float s) {
  Components<V>::ForEach([&](float V::*c) { self.*c = self.*c * s; });
  WithCanonicalNaNs(self);
}

}  // namespace

// Constructors and copy assignment are defined in Vector.h. The three types share every other
// operation; one definition serves all of them. Each runs its arithmetic, comparisons included
// (denormals-are-zero would make a denormal equal 0), in the default floating-point environment.
// The library binds its own calls directly, so the compound operators calling Add, Subtract and
// Multiply cost no call through the PLT.
#define ORVEL_DEFINE_VECTOR_OPERATIONS(V)                                          \
  V& V::Add(const V& other) {                                                      \
    Environment::InDefaultEnvironment<Environment::Least::kForSums>(               \
        [&] { AddInPlace(*this, other); }, *this, other);                          \
    return *this;                                                                  \
  }                                                                                \
  V& V::Subtract(const V& other) {                                                 \
    Environment::InDefaultEnvironment<Environment::Least::kForSums>(               \
        [&] { SubtractInPlace(*this, other); }, *this, other);                     \
    return *this;                                                                  \
  }                                                                                \
  V& V::Multiply(float s) {                                                        \
    Environment::InDefaultEnvironment<Environment::Least::kForScaling>(            \
        [this, s] { ScaleInPlace(*this, s); }, *this, s);                          \
    return *this;                                                                  \
  }                                                                                \
  float V::DotProduct(const V& other) {                                            \
    return Environment::InDefaultEnvironment<Environment::Least::kForProducts>(    \
        [&] { return Components<V>::Dot(*this, other); }, *this, other);           \
  }                                                                                \
  V V::operator+=(const V& other) {                                                \
    return Add(other);                                                             \
  }                                                                                \
  V V::operator-=(const V& other) {                                                \
    return Subtract(other);                                                        \
  }                                                                                \
  V V::operator*=(float s) {                                                       \
    return Multiply(s);                                                            \
  }                                                                                \
  bool V::operator==(const V& other) {                                             \
    return Environment::InDefaultEnvironment<Environment::Least::kForComparisons>( \
        [&] { return Components<V>::AllEqual(*this, other); }, *this, other);      \
  }                                                                                \
  bool V::operator!=(const V& other) {                                             \
    return !(*this == other);                                                      \
  }

ORVEL_DEFINE_VECTOR_OPERATIONS(Vector2f)
ORVEL_DEFINE_VECTOR_OPERATIONS(Vector3f)
ORVEL_DEFINE_VECTOR_OPERATIONS(Vector4f)

#undef ORVEL_DEFINE_VECTOR_OPERATIONS

}  // namespace OrvelMath
