// The library computes without switching the floating-point environment when flush-to-zero and
// denormals-are-zero can't act on an operation's operands: each operation has a least operand
// magnitude for that. Here every operation gets operands at those magnitudes and a few ulps either
// side (products then straddle 2^-126, and sums cancel to denormals), in every host state the
// target has, against the reference model computed in the default state. A bound set too low lets
// a flush mode change a result here; one set too high costs only speed.

#include "Valgrind.h"
#include "math/FloatSupport.h"
#include "math/HostEnvironment.h"
#include "math/ReferenceModel.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using OrvelMath::Matrix4;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;
using OrvelTest::Bits;
using OrvelTest::FromBits;
namespace Reference = OrvelTest::Reference;

constexpr std::size_t kCases = 4000;

// The least magnitudes, as float bits, whose operands no flush mode can act on: comparisons
// (2^-126), ToRadians (the least float whose product with the constant reaches 2^-126), sums
// (2^-103), a single product (2^-63), and sums of products (the least float whose square
// reaches 2^-103).
constexpr std::uint32_t kBounds[] = {0x00800000u, 0x03652EE1u, 0x0C000000u, 0x20000000u,
                                     0x25B504F4u};

// Operands around one of the bounds: the bound and up to two ulps above it, either sign, mixed
// with zeros and plain values; now and then one or two ulps below it, so that a call often has all
// of its operands on the fast side of its bound, and sometimes one just across.
class NearABound {
 public:
  explicit NearABound(OrvelTest::Random& random)
      : random_(random), bound_(kBounds[random.Below(5)]) {}

  float Draw() {
    static constexpr float kPlain[] = {0.0f, -0.0f, 1.0f, -1.5f, 3.0f};
    const std::uint32_t sign = random_.Below(2) << 31;
    if (random_.Below(16) == 0) return FromBits(sign | (bound_ - 1 - random_.Below(2)));
    const std::uint32_t pick = random_.Below(8);
    return pick < 5 ? kPlain[pick] : FromBits(sign | (bound_ + pick - 5));
  }

 private:
  OrvelTest::Random& random_;
  std::uint32_t bound_;
};

// One case per operation: its inputs, drawn from the pool, and the result bits it must give.
struct Case {
  std::array<float, 16> a;
  std::array<float, 16> b;
  std::vector<std::uint32_t> want;
};

using Operation = std::vector<std::uint32_t> (*)(const std::array<float, 16>& a,
                                                 const std::array<float, 16>& b);

template <std::size_t N>
std::vector<std::uint32_t> AsBits(const std::array<float, N>& floats) {
  std::vector<std::uint32_t> bits;
  for (const float f : floats) bits.push_back(OrvelTest::IsNaN(f) ? 0x7FC00000u : Bits(f));
  return bits;
}

Vector3f First3(const std::array<float, 16>& f) {
  return Vector3f(f[0], f[1], f[2]);
}
Vector4f First4(const std::array<float, 16>& f) {
  return Vector4f(f[0], f[1], f[2], f[3]);
}
Matrix4 AsMatrix(const std::array<float, 16>& f) {
  Matrix4 m;
  for (int i = 0; i < 16; ++i) m.m[i] = f[i];
  return m;
}
std::array<float, 3> Get3(const Vector3f& v) {
  return {v.x, v.y, v.z};
}
std::array<float, 3> Get3(const std::array<float, 16>& f) {
  return {f[0], f[1], f[2]};
}

// Each operation through the library, and the same through the reference model.
struct Checked {
  const char* name;
  Operation library;
  Operation reference;
};

const Checked kOperations[] = {
    {"Vector3f::Add",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(Get3(v.Add(First3(b))));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Sum(Get3(a), Get3(b))); }},
    {"Vector3f::Subtract",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(Get3(v.Subtract(First3(b))));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Difference(Get3(a), Get3(b))); }},
    {"Vector3f::Multiply(float)",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(Get3(v.Multiply(b[0])));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Scaled(Get3(a), b[0])); }},
    {"Vector3f::DotProduct",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(std::array<float, 1>{v.DotProduct(First3(b))});
     },
     [](const auto& a, const auto& b) {
       return AsBits(std::array<float, 1>{Reference::Dot(Get3(a), Get3(b))});
     }},
    {"Vector3f::operator==",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return std::vector<std::uint32_t>{v == First3(b)};
     },
     [](const auto& a, const auto& b) {
       return std::vector<std::uint32_t>{Reference::Equal(Get3(a), Get3(b))};
     }},
    {"Matrix4::Multiply(Matrix4)",
     [](const auto& a, const auto& b) {
       Matrix4 m = AsMatrix(a);
       m.Multiply(AsMatrix(b));
       std::array<float, 16> r;
       for (int i = 0; i < 16; ++i) r[i] = m.m[i];
       return AsBits(r);
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Product(a, b)); }},
    {"Matrix4::Multiply(Vector4f)",
     [](const auto& a, const auto& b) {
       const Vector4f v = AsMatrix(a).Multiply(First4(b));
       return AsBits(std::array<float, 4>{v.x, v.y, v.z, v.w});
     },
     [](const auto& a, const auto& b) {
       return AsBits(Reference::Transform<4>(a, b[0], b[1], b[2], b[3]));
     }},
    {"Matrix4::Multiply(Vector3f)",
     [](const auto& a, const auto& b) { return AsBits(Get3(AsMatrix(a).Multiply(First3(b)))); },
     [](const auto& a, const auto& b) {
       return AsBits(Reference::Transform<3>(a, b[0], b[1], b[2], 1.0f));
     }},
    {"ToRadians",
     [](const auto& a, const auto&) {
       return AsBits(std::array<float, 1>{OrvelMath::ToRadians(a[0])});
     },
     [](const auto& a, const auto&) {
       return AsBits(std::array<float, 1>{Reference::ToRadians(a[0])});
     }},
};

TEST(FlushBounds, EveryOperationMatchesTheReferenceInEveryHostState) {
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind models no floating-point environment";
  OrvelTest::Random random(0x5EED3000u);
  for (const Checked& operation : kOperations) {
    // The reference, in the default state, before any host state is entered. First, at each bound
    // and one ulp below it, x and its neighbour z above, which cancel: x - z, x * z - x * x.
    std::vector<Case> cases;
    for (const std::uint32_t bound : kBounds) {
      for (const std::uint32_t x : {bound, bound - 1}) {
        Case c{};
        c.a = {FromBits(x), FromBits(x)};
        c.b = {FromBits(x + 1), FromBits(x | 0x80000000u)};
        cases.push_back(c);
      }
    }
    while (cases.size() < kCases) {
      NearABound operands(random);
      Case c;
      for (float& f : c.a) f = operands.Draw();
      for (float& f : c.b) f = operands.Draw();
      cases.push_back(c);
    }
    for (Case& c : cases) c.want = operation.reference(c.a, c.b);
    for (const OrvelTest::HostEnvironment& environment : OrvelTest::HostEnvironments()) {
      std::vector<std::vector<std::uint32_t>> got;
      {
        OrvelTest::InHostEnvironment host(environment);
        if (!host.Entered()) continue;
        for (const Case& c : cases) got.push_back(operation.library(c.a, c.b));
      }
      int wrong = 0;
      std::string first;
      for (std::size_t i = 0; i < cases.size(); ++i) {
        if (got[i] == cases[i].want) continue;
        if (wrong++ == 0) first = "case " + std::to_string(i);
      }
      EXPECT_EQ(wrong, 0) << operation.name << " under " << environment.name << ", first at "
                          << first;
    }
  }
}

}  // namespace
