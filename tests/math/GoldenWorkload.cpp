#include "math/GoldenWorkload.h"

#include "math/FloatSupport.h"

namespace OrvelTest {
namespace {

using OrvelMath::Matrix4;
using OrvelMath::Vector2f;
using OrvelMath::Vector3f;
using OrvelMath::Vector4f;

constexpr int kRounds = 20000;

// 64-bit FNV-1a over 32-bit words, low byte first.
class Digest {
 public:
  void AddWord(std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) {
      hash_ ^= (word >> shift) & 0xFFu;
      hash_ *= 0x100000001B3ull;
    }
  }
  // NaN payloads and signs differ between instruction sets; every NaN counts as one pattern.
  void AddFloat(float f) { AddWord(IsNaN(f) ? 0x7FC00000u : Bits(f)); }
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

// Each round chains the operations, so a result feeds the next operation.
template <typename V>
void VectorWorkload(Random& random, Digest& digest) {
  for (int n = 0; n < kRounds; ++n) {
    V a = RandomVector<V>(random);
    const V b = RandomVector<V>(random);
    const float s = random.InterestingFloat();
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

void MatrixWorkload(Random& random, Digest& digest) {
  for (int n = 0; n < kRounds; ++n) {
    const Matrix4 a = RandomMatrix(random);
    const Matrix4 b = RandomMatrix(random);
    const Vector4f v = RandomVector<Vector4f>(random);
    Matrix4 m = a;
    digest.AddMatrix(m.Multiply(b));
    digest.AddMatrix(m *= a);
    digest.AddMatrix(m.Multiply(m));
    digest.AddVector(a.Multiply(v));
    digest.AddVector(a.Multiply(Vector3f(v.x, v.y, v.z)));
    Matrix4 diagonal(random.InterestingFloat());
    digest.AddMatrix(diagonal.Multiply(b));
    digest.AddFloat(OrvelMath::ToRadians(random.InterestingFloat()));
  }
}

}  // namespace

std::uint64_t WorkloadDigest() {
  Random random(0x600D5EEDu);
  Digest digest;
  VectorWorkload<Vector2f>(random, digest);
  VectorWorkload<Vector3f>(random, digest);
  VectorWorkload<Vector4f>(random, digest);
  MatrixWorkload(random, digest);
  return digest.value();
}

}  // namespace OrvelTest
