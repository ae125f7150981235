// The library computes without switching the floating-point environment when flush-to-zero and
// denormals-are-zero can't act on an operation's operands: each operation has a least operand
// magnitude for that. Here every operation gets operands at those magnitudes and a few ulps either
// side (products then straddle 2^-126, and sums cancel to denormals), in every host state the
// target has, against the reference model computed in the default state, and must raise the
// flags it raises in the default state. A bound set too low lets a flush mode change a result
// here; one set too high costs only speed. For every operand an operation reads, some cases have
// that operand alone below the bound and a tiny result, so a guard that leaves any one operand
// unchecked computes a flushed result.

#include "Valgrind.h"
#include "math/FloatSupport.h"
#include "math/HostEnvironment.h"
#include "math/KernelSets.h"
#include "math/ReferenceModel.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using OrvelMath::Matrix4;
using OrvelMath::Vector2f;
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
constexpr std::uint32_t kComparisons = 0x00800000u, kToRadians = 0x03652EE1u, kSums = 0x0C000000u,
                        kScaling = 0x20000000u, kProducts = 0x25B504F4u;
constexpr std::uint32_t kBounds[] = {kComparisons, kToRadians, kSums, kScaling, kProducts};

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
  for (const float f : floats) bits.push_back(Bits(f));
  return bits;
}

Vector2f First2(const std::array<float, 16>& f) {
  return Vector2f(f[0], f[1]);
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
std::array<float, 2> Get2(const Vector2f& v) {
  return {v.x, v.y};
}
std::array<float, 2> Get2(const std::array<float, 16>& f) {
  return {f[0], f[1]};
}
std::array<float, 3> Get3(const Vector3f& v) {
  return {v.x, v.y, v.z};
}
std::array<float, 3> Get3(const std::array<float, 16>& f) {
  return {f[0], f[1], f[2]};
}
std::array<float, 4> Get4(const std::array<float, 16>& f) {
  return {f[0], f[1], f[2], f[3]};
}
// A comparison's answer as float bits, like every other result here.
std::vector<std::uint32_t> AsBits(bool answer) {
  return AsBits(std::array<float, 1>{answer ? 1.0f : 0.0f});
}

// Each operation through the library, and the same through the reference model; its least
// operand magnitude, and which of the 16 floats of a and of b it reads, as bit masks.
struct Checked {
  const char* name;
  Operation library;
  Operation reference;
  std::uint32_t least;
  std::uint32_t readsA;
  std::uint32_t readsB;
};

const Checked kOperations[] = {
    {"Vector3f::Add",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(Get3(v.Add(First3(b))));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Sum(Get3(a), Get3(b))); }, kSums,
     0x7, 0x7},
    {"Vector3f::Subtract",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(Get3(v.Subtract(First3(b))));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Difference(Get3(a), Get3(b))); },
     kSums, 0x7, 0x7},
    {"Vector3f::Multiply(float)",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(Get3(v.Multiply(b[0])));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Scaled(Get3(a), b[0])); },
     kScaling, 0x7, 0x1},
    {"Vector3f::DotProduct",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(std::array<float, 1>{v.DotProduct(First3(b))});
     },
     [](const auto& a, const auto& b) {
       return AsBits(std::array<float, 1>{Reference::Dot(Get3(a), Get3(b))});
     },
     kProducts, 0x7, 0x7},
    {"Vector4f::DotProduct",
     [](const auto& a, const auto& b) {
       Vector4f v = First4(a);
       return AsBits(std::array<float, 1>{v.DotProduct(First4(b))});
     },
     [](const auto& a, const auto& b) {
       return AsBits(std::array<float, 1>{Reference::Dot(Get4(a), Get4(b))});
     },
     kProducts, 0xF, 0xF},
    {"Vector2f::Subtract",
     [](const auto& a, const auto& b) {
       Vector2f v = First2(a);
       return AsBits(Get2(v.Subtract(First2(b))));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Difference(Get2(a), Get2(b))); },
     kSums, 0x3, 0x3},
    {"Vector3f::operator==",
     [](const auto& a, const auto& b) {
       Vector3f v = First3(a);
       return AsBits(v == First3(b));
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Equal(Get3(a), Get3(b))); },
     kComparisons, 0x7, 0x7},
    {"Matrix4::Multiply(Matrix4)",
     [](const auto& a, const auto& b) {
       Matrix4 m = AsMatrix(a);
       m.Multiply(AsMatrix(b));
       std::array<float, 16> r;
       for (int i = 0; i < 16; ++i) r[i] = m.m[i];
       return AsBits(r);
     },
     [](const auto& a, const auto& b) { return AsBits(Reference::Product(a, b)); }, kProducts,
     0xFFFF, 0xFFFF},
    {"Matrix4::Multiply(Vector4f)",
     [](const auto& a, const auto& b) {
       const Vector4f v = AsMatrix(a).Multiply(First4(b));
       return AsBits(std::array<float, 4>{v.x, v.y, v.z, v.w});
     },
     [](const auto& a, const auto& b) {
       return AsBits(Reference::Transform<4>(a, b[0], b[1], b[2], b[3]));
     },
     kProducts, 0xFFFF, 0xF},
    {"Matrix4::Multiply(Vector3f)",
     [](const auto& a, const auto& b) { return AsBits(Get3(AsMatrix(a).Multiply(First3(b)))); },
     [](const auto& a, const auto& b) {
       return AsBits(Reference::Transform<3>(a, b[0], b[1], b[2], 1.0f));
     },
     kProducts, 0x7777, 0x7},  // the bottom row takes no part
    {"ToRadians",
     [](const auto& a, const auto&) {
       return AsBits(std::array<float, 1>{OrvelMath::ToRadians(a[0])});
     },
     [](const auto& a, const auto&) {
       return AsBits(std::array<float, 1>{Reference::ToRadians(a[0])});
     },
     kToRadians, 0x1, 0x0},
};

bool HasTinyValue(const std::vector<std::uint32_t>& bits) {
  for (const std::uint32_t b : bits) {
    if ((b & 0x7FFFFFFFu) != 0 && (b & 0x7FFFFFFFu) < 0x00800000u) return true;
  }
  return false;
}

// Cases where the operand at `position` (0-15 in a, 16-31 in b) is the only one below the
// operation's bound and a flush mode would change the result: one just below the bound whose
// product cancels into a tiny result, and a denormal that makes the result tiny or, read as zero,
// changes it. A cancellation is not always possible (a translation is added as it is, and the first
// products of a longer sum lose their last bits to the rounding of the partial sum); a denormal is.
std::vector<Case> LoneOperandBelowTheBound(const Checked& operation, int position,
                                           OrvelTest::Random& random) {
  constexpr std::size_t kEach = 2;
  constexpr int kAttempts = 20000;
  // The other operands: beside a denormal, zeros, ones (which keep its product tiny) and values
  // from the bound to two ulps above it; for a cancellation, zeros and values at the bound, one
  // ulp above it and twice as large, whose products fall close enough together.
  const std::uint32_t least = operation.least;
  const std::uint32_t besideDenormal[] = {0, 0, 0x3F800000u, least, least + 1, least + 2};
  const std::uint32_t besideCancellation[] = {0, least, least + 1, least + 0x00800000u};
  std::vector<Case> found;
  for (const bool denormal : {false, true}) {
    const std::size_t wanted = found.size() + kEach;
    for (int attempt = 0; attempt < kAttempts && found.size() < wanted; ++attempt) {
      Case c{};
      const auto draw = [&](std::array<float, 16>& operand, std::uint32_t reads, int first) {
        for (int i = 0; i < 16; ++i) {
          if (((reads >> i) & 1u) == 0) continue;
          std::uint32_t bits =
              denormal ? besideDenormal[random.Below(6)] : besideCancellation[random.Below(4)];
          if (first + i == position) {
            bits = denormal ? 1 + random.Below(0x7FFFFF) : least - 1 - random.Below(2);
          }
          operand[static_cast<std::size_t>(i)] = FromBits((random.Below(2) << 31) | bits);
        }
      };
      draw(c.a, operation.readsA, 0);
      draw(c.b, operation.readsB, 16);
      c.want = operation.reference(c.a, c.b);
      bool flushable = HasTinyValue(c.want);
      if (!flushable && denormal) {
        float& lone = position < 16 ? c.a[static_cast<std::size_t>(position)]
                                    : c.b[static_cast<std::size_t>(position - 16)];
        const float kept = lone;
        lone = 0.0f;
        flushable = operation.reference(c.a, c.b) != c.want;
        lone = kept;
      }
      if (flushable) found.push_back(c);
    }
  }
  return found;
}

// The library's results, with the status flags each call raised appended.
std::vector<std::vector<std::uint32_t>> RunWithFlags(const Checked& operation,
                                                     const std::vector<Case>& cases) {
  std::vector<std::vector<std::uint32_t>> results;
  for (const Case& c : cases) {
    OrvelTest::ClearFlags();
    results.push_back(operation.library(c.a, c.b));
    results.back().push_back(static_cast<std::uint32_t>(OrvelTest::RaisedFlags()));
  }
  return results;
}

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
    for (int position = 0; position < 32; ++position) {
      const std::uint32_t reads = position < 16 ? operation.readsA : operation.readsB;
      if (((reads >> (position % 16)) & 1u) == 0) continue;
      const std::vector<Case> lone = LoneOperandBelowTheBound(operation, position, random);
      ASSERT_FALSE(lone.empty()) << operation.name << ": no case found for operand " << position;
      cases.insert(cases.end(), lone.begin(), lone.end());
    }
    while (cases.size() < kCases) {
      NearABound operands(random);
      Case c;
      for (float& f : c.a) f = operands.Draw();
      for (float& f : c.b) f = operands.Draw();
      cases.push_back(c);
    }
    for (Case& c : cases) {
      if (c.want.empty()) c.want = operation.reference(c.a, c.b);
    }
    // The flags every state must raise: the library's own in the default state.
    const std::vector<std::vector<std::uint32_t>> defaultState = RunWithFlags(operation, cases);
    for (const OrvelTest::HostEnvironment& environment : OrvelTest::HostEnvironments()) {
      std::vector<std::vector<std::uint32_t>> got;
      {
        OrvelTest::InHostEnvironment host(environment);
        if (!host.Entered()) continue;
        got = RunWithFlags(operation, cases);
      }
      int wrong = 0, wrongFlags = 0;
      std::string first;
      for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::vector<std::uint32_t> bits(got[i].begin(), got[i].end() - 1);
        wrongFlags += got[i].back() != defaultState[i].back();
        if (bits == cases[i].want) continue;
        if (wrong++ == 0) first = "case " + std::to_string(i);
      }
      EXPECT_EQ(wrong, 0) << operation.name << " under " << environment.name << ", first at "
                          << first;
      EXPECT_EQ(wrongFlags, 0) << operation.name << " under " << environment.name
                               << ": flags other than the default state's";
    }
  }
}

// Where the guard asks the CPU for its path, the first call settles it, so that later calls take
// the probes: a guard that never asked would give the right bits on the slow path, slowly, and one
// that took another CPU's probes dies of an instruction this one lacks (under qemu's CPU models
// too, where OrvelLib.GuardPaths runs this).
TEST(FlushBounds, TheFirstCallSettlesTheGuardsPath) {
  const OrvelTest::AskedPath path = OrvelTest::GuardPathAfterAFirstCall();
  EXPECT_EQ(path.settled, path.ofThisCpu);
}

}  // namespace
