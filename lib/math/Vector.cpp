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

// Each component of `self` becomes op(component, the operand's): the operand is a vector, or a
// scalar that serves every component. A NaN result comes out as the canonical one
// (CanonicalNaN.h). The operand is read before anything is written, so `other` may be `self`, and
// two vectors never partly overlap: this reads what the component-by-component order reads.
#if defined(ORVEL_MATH_OPERAND_LANES_SSE2) && defined(__GNUC__)
// On SSE2 the components are worked in registers, which GNU compilers let the operations' own
// expressions combine: four components as one register, two as one, three as two and one. The
// lanes beyond a vector's components hold zeros and compute zeros, so they raise no flag, and a NaN
// is made canonical before anything is stored.
template <typename V>
struct Registers {
  static constexpr std::size_t kCount = sizeof(V) / sizeof(float);
  __m128 low;   // x, y (and z, w of four)
  __m128 high;  // z of three; otherwise low again

  static Registers Of(const V& v) {
    const auto* floats = reinterpret_cast<const float*>(&v);
    if constexpr (kCount == 4) return {_mm_loadu_ps(floats), _mm_loadu_ps(floats)};
    const __m128 xy = _mm_castsi128_ps(LoadLanes<2>(reinterpret_cast<const unsigned char*>(&v)));
    return {xy, kCount == 3 ? _mm_load_ss(floats + 2) : xy};
  }
  static Registers Of(float s) {
    const __m128 one = _mm_set_ss(s);
    const __m128 pair = _mm_unpacklo_ps(one, one);
    if constexpr (kCount == 4) return {_mm_set1_ps(s), _mm_set1_ps(s)};
    return {pair, kCount == 3 ? one : pair};
  }
  void StoreTo(V& v) const {
    auto* floats = reinterpret_cast<float*>(&v);
    if constexpr (kCount == 4) {
      _mm_storeu_ps(floats, low);
    } else {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(&v), _mm_castps_si128(low));
      if constexpr (kCount == 3) _mm_store_ss(floats + 2, high);
    }
  }
  // One comparison covers both registers: high's lanes 1 to 3 are zeros.
  bool AnyNaN() const { return _mm_movemask_ps(_mm_cmpunord_ps(high, low)) != 0; }
  Registers Canonical() const { return {CanonicalLanes(low), CanonicalLanes(high)}; }
};

template <typename V, typename Operand, typename Op>
void Lanewise(V& self, const Operand& operand, Op op) {
  const Registers<V> object = Registers<V>::Of(self), other = Registers<V>::Of(operand);
  Registers<V> result{op(object.low, other.low), op(object.high, other.high)};
  if (ORVEL_MATH_UNLIKELY(result.AnyNaN())) result = result.Canonical();
  result.StoreTo(self);
}
#else
template <typename V>
float ComponentOf(const V& v, float V::*c) {
  return v.*c;
}
template <typename V>
float ComponentOf(float s, float V::*) {
  return s;
}

template <typename V, typename Operand, typename Op>
void Lanewise(V& self, const Operand& operand, Op op) {
  const Operand copy = operand;
  Components<V>::ForEach([&](float V::*c) { self.*c = op(self.*c, ComponentOf<V>(copy, c)); });
  WithCanonicalNaNs(self);
}
#endif

// c = other.c + c, c = c - other.c and c = c * s, on floats or on registers of them.
template <typename V>
void AddInPlace(V& self, const V& other) {
  Lanewise(self, other, [](auto c, auto otherC) { return otherC + c; });
}

template <typename V>
void SubtractInPlace(V& self, const V& other) {
  Lanewise(self, other, [](auto c, auto otherC) { return c - otherC; });
}

template <typename V>
void ScaleInPlace(V& self, float s) {
  Lanewise(self, s, [](auto c, auto scale) { return c * scale; });
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
