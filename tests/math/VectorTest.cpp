// What the vector types promise beyond the arithmetic itself: layout, return semantics, and
// known answers written as literal bit patterns.

#include "math/FloatSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

using OrvelMath::Vector2f;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;
using OrvelTest::Bits;
using OrvelTest::VectorTraits;

// Named operations return the object, compound operators a copy: a += that returned a reference
// would pass every runtime check below, since they read the object.
template <typename V>
constexpr bool ReturnsAsDocumented() {
  using std::declval;
  return std::is_same<decltype(declval<V&>().Add(declval<const V&>())), V&>::value &&
         std::is_same<decltype(declval<V&>().Subtract(declval<const V&>())), V&>::value &&
         std::is_same<decltype(declval<V&>().Multiply(1.0f)), V&>::value &&
         std::is_same<decltype(declval<V&>() += declval<const V&>()), V>::value &&
         std::is_same<decltype(declval<V&>() -= declval<const V&>()), V>::value &&
         std::is_same<decltype(declval<V&>() *= 1.0f), V>::value;
}
static_assert(ReturnsAsDocumented<Vector2f>() && ReturnsAsDocumented<Vector3f>() &&
                  ReturnsAsDocumented<Vector4f>(),
              "vector operations return the object or a copy as documented");

template <typename V>
class VectorSemantics : public ::testing::Test {};
using VectorTypes = ::testing::Types<Vector2f, Vector3f, Vector4f>;
// The empty last argument (no name generator) keeps Clang -Wpedantic quiet.
TYPED_TEST_SUITE(VectorSemantics, VectorTypes, );

TYPED_TEST(VectorSemantics, IsPackedFloatsInComponentOrder) {
  using V = TypeParam;
  EXPECT_TRUE(std::is_standard_layout<V>::value);
  EXPECT_EQ(sizeof(V), VectorTraits<V>::kSize * sizeof(float));
  EXPECT_EQ(offsetof(V, x), 0u);
  EXPECT_EQ(offsetof(V, y), sizeof(float));
  V arrayOfTwo[2];
  EXPECT_EQ(reinterpret_cast<char*>(&arrayOfTwo[1]) - reinterpret_cast<char*>(&arrayOfTwo[0]),
            static_cast<std::ptrdiff_t>(sizeof(V)));
}

TYPED_TEST(VectorSemantics, DefaultConstructsToPositiveZero) {
  using V = TypeParam;
  for (float c : VectorTraits<V>::Get(OrvelTest::DefaultConstructedOverPattern<V>()))
    EXPECT_EQ(Bits(c), 0u);
}

TYPED_TEST(VectorSemantics, NamedOperationsReturnTheObject) {
  using V = TypeParam;
  const float ones[] = {1.0f, 1.0f, 1.0f, 1.0f};
  V a = VectorTraits<V>::Make(ones);
  const V b = a;
  EXPECT_EQ(&a.Add(b), &a);
  EXPECT_EQ(&a.Subtract(b), &a);
  EXPECT_EQ(&a.Multiply(3.0f), &a);
  a.Add(b).Multiply(2.0f);  // both calls change `a`: (3 + 1) * 2
  for (float c : VectorTraits<V>::Get(a)) EXPECT_EQ(c, 8.0f);
}

TYPED_TEST(VectorSemantics, CompoundOperatorsReturnAnIndependentCopy) {
  using V = TypeParam;
  const float ones[] = {1.0f, 1.0f, 1.0f, 1.0f};
  V a = VectorTraits<V>::Make(ones);
  const V b = a;
  V copy = (a += b);
  copy.Multiply(10.0f);
  for (float c : VectorTraits<V>::Get(a)) EXPECT_EQ(c, 2.0f);  // changed by +=, not by copy
  copy = (a -= b);
  copy = (a *= 4.0f);
  copy.Add(b);
  for (float c : VectorTraits<V>::Get(a)) EXPECT_EQ(c, 4.0f);
}

TYPED_TEST(VectorSemantics, EqualityIsIeee) {
  using V = TypeParam;
  const float zeros[] = {0.0f, 0.0f, 0.0f, 0.0f};
  const float negativeZeros[] = {-0.0f, -0.0f, -0.0f, -0.0f};
  V positive = VectorTraits<V>::Make(zeros);
  V negative = VectorTraits<V>::Make(negativeZeros);
  EXPECT_TRUE(positive == negative);
  EXPECT_FALSE(positive != negative);

  V withNaN = positive;
  withNaN.y = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(withNaN == withNaN);
  EXPECT_TRUE(withNaN != withNaN);
}

// x86 makes 0xFFC00000 here; the library gives the canonical NaN everywhere.
TYPED_TEST(VectorSemantics, InfinityTimesZeroIsTheCanonicalNaN) {
  using V = TypeParam;
  const float values[] = {std::numeric_limits<float>::infinity(), 1.0f, 1.0f, 1.0f};
  V v = VectorTraits<V>::Make(values);
  v.Multiply(0.0f);
  EXPECT_EQ(Bits(v.x), 0x7FC00000u);
  EXPECT_EQ(Bits(v.y), 0u);
}

TEST(VectorKnownAnswers, DotProduct) {
  // An FMA or x87 build gives 0x40DB3333 here.
  EXPECT_EQ(Bits(Vector2f(1.9f, 1.8f).DotProduct(Vector2f(1.9f, 1.8f))), 0x40DB3332u);
  EXPECT_EQ(Vector3f(1, 2, 3).DotProduct(Vector3f(4, 5, 6)), 32.0f);
  // 1e8 + 1 rounds back to 1e8 before -1e8 is added.
  EXPECT_EQ(Bits(Vector3f(1e8f, 1, -1e8f).DotProduct(Vector3f(1, 1, 1))), 0u);
  // The sum starts from the first product, not from +0.0, so -0.0 survives.
  EXPECT_EQ(Bits(Vector4f(-0.0f, -0.0f, -0.0f, -0.0f).DotProduct(Vector4f(1, 1, 1, 1))),
            0x80000000u);
}

TEST(VectorKnownAnswers, ComponentOrderAndAliasing) {
  Vector3f v(1.5f, -2.0f, 3.0f);
  v.Add(v);
  EXPECT_TRUE(v == Vector3f(3.0f, -4.0f, 6.0f));
  v.Subtract(v);
  EXPECT_TRUE(v == Vector3f());
  EXPECT_TRUE(Vector4f(1, 2, 3, 4).Subtract(Vector4f(4, 3, 2, 1)) == Vector4f(-3, -1, 1, 3));
}

}  // namespace
