// Every math operation against the reference model, bit for bit, over 100,000 generated inputs
// each: special values, NaNs of every kind, denormals, cancellation and near-tie products
// included. A NaN result must be the canonical one.

#include "math/FloatSupport.h"
#include "math/KernelSets.h"
#include "math/ReferenceModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace {

using OrvelMath::Matrix4;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;
using OrvelTest::Random;
using OrvelTest::VectorTraits;
namespace Reference = OrvelTest::Reference;

constexpr int kCases = 100000;

// Counts cases whose result differs from the model and keeps the first one for the report.
class Mismatches {
 public:
  template <std::size_t N>
  void Check(const char* operation, int index, const std::array<float, N>& got,
             const std::array<float, N>& want) {
    for (std::size_t i = 0; i < N; ++i) {
      if (OrvelTest::Bits(got[i]) == OrvelTest::Bits(want[i])) continue;
      if (count_++ == 0) {
        char text[160];
        std::snprintf(text, sizeof text, "%s case %d component %zu: got 0x%08X, want 0x%08X",
                      operation, index, i, OrvelTest::Bits(got[i]), OrvelTest::Bits(want[i]));
        first_ = text;
      }
      return;
    }
  }
  void Check(const char* operation, int index, float got, float want) {
    Check(operation, index, std::array<float, 1>{got}, std::array<float, 1>{want});
  }

  int count() const { return count_; }
  const std::string& first() const { return first_; }

 private:
  int count_ = 0;
  std::string first_;
};

template <typename V>
class VectorSweep : public ::testing::Test {};
using VectorTypes = ::testing::Types<OrvelMath::Vector2f, Vector3f, Vector4f>;
// The empty last argument (no name generator) keeps Clang -Wpedantic quiet.
TYPED_TEST_SUITE(VectorSweep, VectorTypes, );

TYPED_TEST(VectorSweep, MatchesReferenceModel) {
  using V = TypeParam;
  using T = VectorTraits<V>;
  Random random(0x5EED0000u + T::kSize);
  Mismatches mismatches;
  int wrongEquality = 0;
  for (int n = 0; n < kCases; ++n) {
    const V a = OrvelTest::RandomVector<V>(random);
    const V b = OrvelTest::RandomVector<V>(random);
    const float s = random.InterestingFloat();
    const auto ea = T::Get(a), eb = T::Get(b);

    const auto sum = Reference::Sum(ea, eb);
    const auto difference = Reference::Difference(ea, eb);
    const auto scaled = Reference::Scaled(ea, s);

    V v = a;
    mismatches.Check("Add", n, T::Get(v.Add(b)), sum);
    v = a;
    mismatches.Check("Subtract", n, T::Get(v.Subtract(b)), difference);
    v = a;
    mismatches.Check("Multiply", n, T::Get(v.Multiply(s)), scaled);
    v = a;
    mismatches.Check("+=", n, T::Get(v += b), sum);
    mismatches.Check("+= object", n, T::Get(v), sum);
    v = a;
    mismatches.Check("-=", n, T::Get(v -= b), difference);
    v = a;
    mismatches.Check("*=", n, T::Get(v *= s), scaled);

    // The operand is the object itself.
    v = a;
    mismatches.Check("Add self", n, T::Get(v.Add(v)), Reference::Sum(ea, ea));
    v = a;
    mismatches.Check("Subtract self", n, T::Get(v.Subtract(v)), Reference::Difference(ea, ea));
    v = a;
    mismatches.Check("DotProduct self", n, v.DotProduct(v), Reference::Dot(ea, ea));

    v = a;
    mismatches.Check("DotProduct", n, v.DotProduct(b), Reference::Dot(ea, eb));

    // Equality: a vector against itself (NaN makes it unequal), a copy, and another vector.
    V c = b;
    const bool equal = Reference::Equal(ea, eb);
    const bool selfEqual = Reference::Equal(ea, ea);
    wrongEquality += (v == c) != equal || (v != c) == equal;
    wrongEquality += (v == v) != selfEqual || (v != v) == selfEqual;
  }
  EXPECT_EQ(mismatches.count(), 0) << mismatches.first();
  EXPECT_EQ(wrongEquality, 0);
}

Reference::Matrix Elements(const Matrix4& m) {
  Reference::Matrix r;
  std::copy(m.m, m.m + 16, r.begin());
  return r;
}

TEST(MatrixSweep, MatchesReferenceModel) {
  Random random(0x5EED1000u);
  Mismatches mismatches;
  for (int n = 0; n < kCases; ++n) {
    const Matrix4 a = OrvelTest::RandomMatrix(random);
    const Matrix4 b = OrvelTest::RandomMatrix(random);
    const Vector4f v = OrvelTest::RandomVector<Vector4f>(random);
    const Reference::Matrix ra = Elements(a), rb = Elements(b);

    Matrix4 m = a;
    mismatches.Check("Multiply(Matrix4)", n, Elements(m.Multiply(b)), Reference::Product(ra, rb));
    m = a;
    mismatches.Check("*=", n, Elements(m *= b), Reference::Product(ra, rb));
    m = a;
    mismatches.Check("Multiply self", n, Elements(m.Multiply(m)), Reference::Product(ra, ra));

    mismatches.Check("Multiply(Vector4f)", n, VectorTraits<Vector4f>::Get(a.Multiply(v)),
                     Reference::Transform<4>(ra, v.x, v.y, v.z, v.w));
    const Vector3f p(v.x, v.y, v.z);
    mismatches.Check("Multiply(Vector3f)", n, VectorTraits<Vector3f>::Get(a.Multiply(p)),
                     Reference::Transform<3>(ra, v.x, v.y, v.z, 1.0f));

    const float degrees = random.InterestingFloat();
    mismatches.Check("ToRadians", n, OrvelMath::ToRadians(degrees), Reference::ToRadians(degrees));
  }
  EXPECT_EQ(mismatches.count(), 0) << mismatches.first();
}

// Every kernel set the target has, called directly: the library runs one set on a given machine,
// so the others are proven here, each on every machine that can run it. Operands sit one float past
// a 16-byte boundary (the layout promises only float alignment) and results are written over an
// operand, as Matrix4::Multiply does.
class KernelSweep : public ::testing::TestWithParam<OrvelTest::KernelSet> {};
INSTANTIATE_TEST_SUITE_P(Kernels, KernelSweep, ::testing::ValuesIn(OrvelTest::KernelSets()),
                         [](const ::testing::TestParamInfo<OrvelTest::KernelSet>& set) {
                           return std::string(set.param.name);
                         });

// A set this machine cannot run is reported as skipped, not passed.
void SkipUnlessAvailable(const OrvelTest::KernelSet& kernels) {
  if (!kernels.available)
    GTEST_SKIP() << kernels.name << ": its instruction set is not usable here";
}

TEST_P(KernelSweep, MatchesReferenceModel) {
  const OrvelTest::KernelSet& kernels = GetParam();
  SkipUnlessAvailable(kernels);
  Random random(0x5EED2000u);
  Mismatches mismatches;
  alignas(16) float storage[1 + 16 + 16];
  float* const a = storage + 1;
  float* const b = a + 16;
  for (int n = 0; n < kCases; ++n) {
    Reference::Matrix ra, rb;
    for (float& f : ra) f = random.InterestingFloat();
    for (float& f : rb) f = random.InterestingFloat();
    const Vector4f v = OrvelTest::RandomVector<Vector4f>(random);

    std::copy(ra.begin(), ra.end(), a);
    std::copy(rb.begin(), rb.end(), b);
    mismatches.Check("Transform", n, VectorTraits<Vector4f>::Get(kernels.transform(a, v)),
                     Reference::Transform<4>(ra, v.x, v.y, v.z, v.w));
    const Vector3f p(v.x, v.y, v.z);
    mismatches.Check("TransformPoint", n, VectorTraits<Vector3f>::Get(kernels.transformPoint(a, p)),
                     Reference::Transform<3>(ra, v.x, v.y, v.z, 1.0f));

    kernels.product(a, b, a);
    Reference::Matrix got;
    std::copy(a, a + 16, got.begin());
    mismatches.Check("Product into a", n, got, Reference::Product(ra, rb));
    std::copy(ra.begin(), ra.end(), a);
    kernels.product(a, b, b);
    std::copy(b, b + 16, got.begin());
    mismatches.Check("Product into b", n, got, Reference::Product(ra, rb));
  }
  EXPECT_EQ(mismatches.count(), 0) << mismatches.first();
}

// Products of +-0.0 and non-zero values in every order, in every column: where the sum starts and
// where its zero sign comes from is exactly what a reordered kernel would get wrong. Returns the
// number of elements whose bits differ from the model.
int WrongSignedZeroSums(void (*product)(const float* a, const float* b, float* r)) {
  const float terms[] = {-0.0f, 0.0f, -1.0f, 2.0f};
  Reference::Matrix ones;
  ones.fill(1.0f);  // element (j, k) of ones x b is then +0.0 + b[4k] + b[4k+1] + ...
  int wrong = 0;
  for (int combination = 0; combination < 256; ++combination) {
    Reference::Matrix b;
    for (int i = 0; i < 16; ++i) b[i] = terms[(combination >> (2 * (i % 4))) & 3];
    float r[16];
    product(ones.data(), b.data(), r);
    const Reference::Matrix want = Reference::Product(ones, b);
    for (int i = 0; i < 16; ++i) wrong += OrvelTest::Bits(r[i]) != OrvelTest::Bits(want[i]);
  }
  return wrong;
}

// Through the exported product, whichever kernel set the library entered.
TEST(MatrixSweep, SignedZerosFollowTheAccumulatorStart) {
  EXPECT_EQ(WrongSignedZeroSums([](const float* a, const float* b, float* r) {
              Matrix4 m, other;
              std::copy(a, a + 16, m.m);
              std::copy(b, b + 16, other.m);
              m.Multiply(other);
              std::copy(m.m, m.m + 16, r);
            }),
            0);
}

TEST_P(KernelSweep, SignedZerosFollowTheAccumulatorStart) {
  const OrvelTest::KernelSet& kernels = GetParam();
  SkipUnlessAvailable(kernels);
  EXPECT_EQ(WrongSignedZeroSums(kernels.product), 0);

  // The transforms start from the first product, so -0.0 survives in every row.
  float negativeZeros[16];
  for (float& f : negativeZeros) f = -0.0f;
  for (float f :
       VectorTraits<Vector4f>::Get(kernels.transform(negativeZeros, Vector4f(1, 1, 1, 1))))
    EXPECT_EQ(OrvelTest::Bits(f), 0x80000000u);
  for (float f :
       VectorTraits<Vector3f>::Get(kernels.transformPoint(negativeZeros, Vector3f(1, 1, 1))))
    EXPECT_EQ(OrvelTest::Bits(f), 0x80000000u);
}

}  // namespace
