#include "math/GoldenWorkload.h"

#include "math/FloatSupport.h"

namespace OrvelTest {
namespace {

using OrvelMath::Matrix4;
using OrvelMath::Vector2f;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;

constexpr int kRounds = 20000;
constexpr int kNaNRounds = 2000;

// 64-bit FNV-1a over 32-bit words, low byte first.
class Digest {
 public:
  void AddWord(std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) {
      hash_ ^= (word >> shift) & 0xFFu;
      hash_ *= 0x100000001B3ull;
    }
  }
  // The raw bits: every NaN result must be the canonical one.
  void AddFloat(float f) { AddWord(Bits(f)); }
  void AddBool(bool b) { AddWord(b ? 1u : 0u); }
  template <typename V>
  void AddVector(const V& v) {
    for (float c : VectorTraits<V>::Get(v)) AddFloat(c);
  }
  void AddMatrix(const Matrix4& m) {
    for (float e : m.m) AddFloat(e);
  }

  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ull;
};

// Draws interesting floats, or, for the NaN rounds, only zeros, ones, infinities and NaNs of every
// sign, payload and kind: NaN meets NaN, inf - inf, 0 * inf and NaN * 0 in every operation.
class Draw {
 public:
  Draw(Random& random, bool nanHeavy) : random_(random), nanHeavy_(nanHeavy) {}

  float Next() {
    static const std::uint32_t kNaNHeavy[] = {0x00000000u, 0x80000000u, 0x3F800000u, 0x7F800000u,
                                              0xFF800000u, 0x7FC00000u, 0xFFC00000u, 0x7FC12345u,
                                              0xFFEABCDEu, 0x7F800001u, 0xFFA54321u};
    if (!nanHeavy_) return random_.InterestingFloat();
    return FromBits(kNaNHeavy[random_.Below(sizeof kNaNHeavy / sizeof kNaNHeavy[0])]);
  }
  template <typename V>
  V NextVector() {
    float c[4];
    for (float& f : c) f = Next();
    return VectorTraits<V>::Make(c);
  }
  Matrix4 NextMatrix() {
    Matrix4 m;
    for (float& f : m.m) f = Next();
    return m;
  }

 private:
  Random& random_;
  bool nanHeavy_;
};

// Each round chains the operations, so a result feeds the next operation.
template <typename V>
void VectorWorkload(Draw& draw, int rounds, Digest& digest) {
  for (int n = 0; n < rounds; ++n) {
    V a = draw.NextVector<V>();
    const V b = draw.NextVector<V>();
    const float s = draw.Next();
    V v = a;
    digest.AddVector(v.Add(b));
    digest.AddVector(v.Subtract(a));
    digest.AddVector(v.Multiply(s));
    digest.AddFloat(v.DotProduct(b));
    digest.AddFloat(a.DotProduct(a));
    digest.AddVector(v += a);
    digest.AddVector(v -= b);
    digest.AddVector(v *= s);
    digest.AddBool(v == a);
    digest.AddBool(v != a);
    digest.AddBool(a == a);
    digest.AddBool(a != a);
  }
}

void MatrixWorkload(Draw& draw, int rounds, Digest& digest) {
  for (int n = 0; n < rounds; ++n) {
    const Matrix4 a = draw.NextMatrix();
    const Matrix4 b = draw.NextMatrix();
    const Vector4f v = draw.NextVector<Vector4f>();
    Matrix4 m = a;
    digest.AddMatrix(m.Multiply(b));
    digest.AddMatrix(m *= a);
    digest.AddMatrix(m.Multiply(m));
    digest.AddVector(a.Multiply(v));
    digest.AddVector(a.Multiply(Vector3f(v.x, v.y, v.z)));
    Matrix4 diagonal(draw.Next());
    digest.AddMatrix(diagonal.Multiply(b));
    digest.AddFloat(OrvelMath::ToRadians(draw.Next()));
  }
}

}  // namespace

std::uint64_t WorkloadDigest() {
  Random random(0x600D5EEDu);
  Digest digest;
  for (const bool nanHeavy : {false, true}) {
    Draw draw(random, nanHeavy);
    const int rounds = nanHeavy ? kNaNRounds : kRounds;
    VectorWorkload<Vector2f>(draw, rounds, digest);
    VectorWorkload<Vector3f>(draw, rounds, digest);
    VectorWorkload<Vector4f>(draw, rounds, digest);
    MatrixWorkload(draw, rounds, digest);
  }
  return digest.value();
}

}  // namespace OrvelTest
