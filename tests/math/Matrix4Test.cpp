// Matrix4 and ToRadians: layout, composition order, the point transform's contract, and known
// answers as literal bit patterns.

#include "math/FloatSupport.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <type_traits>
#include <utility>

namespace {

using OrvelMath::Matrix4;
using OrvelMath::ToRadians;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;
using OrvelTest::Bits;

TEST(Matrix4, IsSixteenColumnMajorFloats) {
  EXPECT_TRUE(std::is_standard_layout<Matrix4>::value);
  EXPECT_EQ(sizeof(Matrix4), 64u);
  EXPECT_EQ(offsetof(Matrix4, m), 0u);
  const Matrix4 identity(1.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(identity.m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;
  for (float element : OrvelTest::DefaultConstructedOverPattern<Matrix4>().m)
    EXPECT_EQ(Bits(element), 0u);
}

// *= returns the object, unlike the vectors' compound operators; the transforms return new values.
static_assert(
    std::is_same<decltype(std::declval<Matrix4&>() *= std::declval<const Matrix4&>()),
                 Matrix4&>::value &&
        std::is_same<decltype(std::declval<Matrix4&>().Multiply(std::declval<const Matrix4&>())),
                     Matrix4&>::value &&
        std::is_same<decltype(std::declval<const Matrix4&>().Multiply(Vector4f())),
                     Vector4f>::value,
    "Matrix4 operations return the object or a new vector as documented");

TEST(Matrix4, ProductAppliesTheOperandFirst) {
  Matrix4 translate(1.0f);
  translate.m[12] = 1.0f;
  Matrix4 scale(2.0f);
  scale.m[15] = 1.0f;
  EXPECT_EQ(&translate.Multiply(scale), &translate);
  Vector3f p = translate.Multiply(Vector3f(1, 0, 0));
  EXPECT_TRUE(p == Vector3f(3, 0, 0));

  Matrix4 m(2.0f);
  Matrix4& result = (m *= m);  // returns the object, unlike the vectors' compound operators
  EXPECT_EQ(&result, &m);
  EXPECT_EQ(m.m[0], 4.0f);
}

TEST(Matrix4, PointTransformIgnoresTheBottomRowAndNeverDivides) {
  Matrix4 m(1.0f);
  m.m[12] = 10.0f;
  m.m[13] = 20.0f;
  m.m[14] = 30.0f;
  m.m[3] = m.m[7] = m.m[11] = std::numeric_limits<float>::quiet_NaN();
  m.m[15] = 0.0f;
  Vector3f p = m.Multiply(Vector3f(1, 2, 3));
  EXPECT_TRUE(p == Vector3f(11, 22, 33));

  Vector3f scaled = Matrix4(2.0f).Multiply(Vector3f(1, 2, 3));
  EXPECT_TRUE(scaled == Vector3f(2, 4, 6));  // translation column is 0, w is not applied
  Vector4f homogeneous = Matrix4(2.0f).Multiply(Vector4f(1, 2, 3, 1));
  EXPECT_TRUE(homogeneous == Vector4f(2, 4, 6, 2));
}

TEST(Matrix4, ProductStartsEachElementFromPositiveZero) {
  Matrix4 negativeColumn;
  for (int i = 0; i < 4; ++i) negativeColumn.m[i] = -0.0f;
  Matrix4 m(1.0f);
  m.Multiply(negativeColumn);  // r[0] = +0 + 1*-0 + 0*-0 + 0*-0 + 0*-0
  for (float element : m.m) EXPECT_EQ(Bits(element), 0u);

  Matrix4 zero;
  Matrix4 any(-3.0f);
  any.m[12] = 7.0f;
  zero.Multiply(any);
  for (float element : zero.m) EXPECT_EQ(Bits(element), 0u);
}

TEST(ToRadians, IsOneMultiplicationByTheFloatNearestPiOver180) {
  EXPECT_EQ(Bits(ToRadians(1.0f)), 0x3C8EFA35u);
  EXPECT_EQ(Bits(ToRadians(90.0f)), 0x3FC90FDBu);   // float nearest pi/2
  EXPECT_EQ(Bits(ToRadians(180.0f)), 0x40490FDBu);  // float nearest pi
  EXPECT_EQ(Bits(ToRadians(-0.0f)), 0x80000000u);
}

}  // namespace
