#include "math/StrictFloat.h"

#include "math/Vector.h"

#include <cstddef>

namespace OrvelMath {
namespace {

// The components of each vector type, in the order every operation visits them.
template <typename V>
struct Components;

template <>
struct Components<Vector2f> {
  static constexpr float Vector2f::*list[] = {&Vector2f::x, &Vector2f::y};
};

template <>
struct Components<Vector3f> {
  static constexpr float Vector3f::*list[] = {&Vector3f::x, &Vector3f::y, &Vector3f::z};
};

template <>
struct Components<Vector4f> {
  static constexpr float Vector4f::*list[] = {&Vector4f::x, &Vector4f::y, &Vector4f::z,
                                              &Vector4f::w};
};

// Each component is read and written before the next one is touched, so `other` may be `self`.

template <typename V>
V& AddInPlace(V& self, const V& other) {
  for (float V::*c : Components<V>::list) self.*c = other.*c + self.*c;
  return self;
}

template <typename V>
V& SubtractInPlace(V& self, const V& other) {
  for (float V::*c : Components<V>::list) self.*c = self.*c - other.*c;
  return self;
}

template <typename V>
V& ScaleInPlace(V& self, float s) {
  for (float V::*c : Components<V>::list) self.*c = self.*c * s;
  return self;
}

// Starts from the first product (no 0.0 added, so -0.0 results survive) and sums left to right.
template <typename V>
float Dot(const V& a, const V& b) {
  const auto& list = Components<V>::list;
  float sum = a.*list[0] * b.*list[0];
  for (std::size_t i = 1; i < sizeof(list) / sizeof(list[0]); ++i) {
    const float product = a.*list[i] * b.*list[i];
    sum = sum + product;
  }
  return sum;
}

template <typename V>
bool AllEqual(const V& a, const V& b) {
  for (float V::*c : Components<V>::list) {
    if (!(a.*c == b.*c)) return false;
  }
  return true;
}

}  // namespace

// Constructors and copy assignment are defined in Vector.h. The three types share every other
// operation; one definition serves all of them. The compound
// operators call the helpers directly rather than the exported members, so no call leaves this
// file.
#define ORVEL_DEFINE_VECTOR_OPERATIONS(V) \
  V& V::Add(const V& other) {             \
    return AddInPlace(*this, other);      \
  }                                       \
  V& V::Subtract(const V& other) {        \
    return SubtractInPlace(*this, other); \
  }                                       \
  V& V::Multiply(float s) {               \
    return ScaleInPlace(*this, s);        \
  }                                       \
  float V::DotProduct(const V& other) {   \
    return Dot(*this, other);             \
  }                                       \
  V V::operator+=(const V& other) {       \
    return AddInPlace(*this, other);      \
  }                                       \
  V V::operator-=(const V& other) {       \
    return SubtractInPlace(*this, other); \
  }                                       \
  V V::operator*=(float s) {              \
    return ScaleInPlace(*this, s);        \
  }                                       \
  bool V::operator==(const V& other) {    \
    return AllEqual(*this, other);        \
  }                                       \
  bool V::operator!=(const V& other) {    \
    return !AllEqual(*this, other);       \
  }

ORVEL_DEFINE_VECTOR_OPERATIONS(Vector2f)
ORVEL_DEFINE_VECTOR_OPERATIONS(Vector3f)
ORVEL_DEFINE_VECTOR_OPERATIONS(Vector4f)

#undef ORVEL_DEFINE_VECTOR_OPERATIONS

}  // namespace OrvelMath
