#include "math/detail/StrictFloat.h"

#include "math/Vector.h"

#include "math/detail/CanonicalNaN.h"
#include "math/detail/FloatEnvironment.h"

#if defined(ORVEL_MATH_KERNELS_AT_LOAD)
#include "math/detail/ChosenAtLoad.h"
#endif

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

  // Whether every component is equal. All are compared, with no early exit: the answer is the
  // same, and so are the flags (x86 raises one for a denormal operand) whichever way a compiler
  // lays the comparisons out, where one that speculates would compare more in some copies of the
  // operation than in others.
  static bool AllEqual(const V& a, const V& b) {
    return ((a.*First == b.*First) & ... & (a.*Rest == b.*Rest));
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

// The operations of one vector type, with the environment guard on one common path (kAsked: the
// path asked of the CPU by the first call). Each runs its arithmetic, comparisons included
// (denormals-are-zero would make a denormal equal 0), in the default floating-point environment.
template <typename V, Environment::Path kPath>
struct Operations {
  template <std::uint32_t kLeast, typename Compute, typename... Operands>
  static auto InDefaultEnvironment(Compute compute, const Operands&... operands) {
    return Environment::InDefaultEnvironment<kLeast, false, kPath>(compute, operands...);
  }

  static V& Add(V& self, const V& other) {
    InDefaultEnvironment<Environment::Least::kForSums>([&] { AddInPlace(self, other); }, self,
                                                       other);
    return self;
  }
  static V& Subtract(V& self, const V& other) {
    InDefaultEnvironment<Environment::Least::kForSums>([&] { SubtractInPlace(self, other); }, self,
                                                       other);
    return self;
  }
  static V& Multiply(V& self, float s) {
    InDefaultEnvironment<Environment::Least::kForScaling>([&self, s] { ScaleInPlace(self, s); },
                                                          self, s);
    return self;
  }
  static float DotProduct(V& self, const V& other) {
    return InDefaultEnvironment<Environment::Least::kForProducts>(
        [&] { return Components<V>::Dot(self, other); }, self, other);
  }
  static V AddAssign(V& self, const V& other) { return Add(self, other); }
  static V SubtractAssign(V& self, const V& other) { return Subtract(self, other); }
  static V MultiplyAssign(V& self, float s) { return Multiply(self, s); }
  static bool Equal(V& self, const V& other) {
    return InDefaultEnvironment<Environment::Least::kForComparisons>(
        [&] { return Components<V>::AllEqual(self, other); }, self, other);
  }
  static bool NotEqual(V& self, const V& other) { return !Equal(self, other); }
};

}  // namespace

// Constructors and copy assignment are defined in Vector.h. The three types share every other
// member; one definition serves all of them. ORVEL_VECTOR_MEMBERS lists them, each with the
// Operations function that does its work.
#define ORVEL_VECTOR_MEMBERS(V, MEMBER)                                      \
  MEMBER(V, Add, V& V::Add(const V& other), (*this, other))                  \
  MEMBER(V, Subtract, V& V::Subtract(const V& other), (*this, other))        \
  MEMBER(V, Multiply, V& V::Multiply(float s), (*this, s))                   \
  MEMBER(V, DotProduct, float V::DotProduct(const V& other), (*this, other)) \
  MEMBER(V, AddAssign, V V::operator+=(const V& other), (*this, other))      \
  MEMBER(V, SubtractAssign, V V::operator-=(const V& other), (*this, other)) \
  MEMBER(V, MultiplyAssign, V V::operator*=(float s), (*this, s))            \
  MEMBER(V, Equal, bool V::operator==(const V& other), (*this, other))       \
  MEMBER(V, NotEqual, bool V::operator!=(const V& other), (*this, other))

#if defined(ORVEL_MATH_KERNELS_AT_LOAD)
// Each member is chosen when the library is loaded (ChosenAtLoad.h), by the resolver
// OrvelMathResolve<type><operation>.
#define ORVEL_VECTOR_MEMBER(V, Operation, declaration, arguments)                               \
  extern "C" ORVEL_MATH_RESOLVER decltype(&Operations<V, Environment::Path::kAsked>::Operation) \
      OrvelMathResolve##V##Operation() {                                                        \
    return ForThisCpu(&Operations<V, Environment::Path::kStateProbe>::Operation,                \
                      &Operations<V, Environment::Path::kRoundingProbe>::Operation,             \
                      &Operations<V, Environment::Path::kControlRegister>::Operation);          \
  }                                                                                             \
  ORVEL_MATH_CHOSEN_AT_LOAD(declaration, "OrvelMathResolve" #V #Operation)
#else
// The library binds its own calls directly, so the compound operators cost no call through the
// PLT: they call Operations, not the exported members.
#define ORVEL_VECTOR_MEMBER(V, Operation, declaration, arguments)         \
  declaration {                                                           \
    return Operations<V, Environment::Path::kAsked>::Operation arguments; \
  }
#endif

ORVEL_VECTOR_MEMBERS(Vector2f, ORVEL_VECTOR_MEMBER)
ORVEL_VECTOR_MEMBERS(Vector3f, ORVEL_VECTOR_MEMBER)
ORVEL_VECTOR_MEMBERS(Vector4f, ORVEL_VECTOR_MEMBER)

#undef ORVEL_VECTOR_MEMBER
#undef ORVEL_VECTOR_MEMBERS

}  // namespace OrvelMath
