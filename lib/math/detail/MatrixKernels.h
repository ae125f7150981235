#ifndef ORVEL_MATH_DETAIL_MATRIX_KERNELS_H
#define ORVEL_MATH_DETAIL_MATRIX_KERNELS_H

// Private to OrvelLib: never installed, never included by a public header, so only the library
// and its tests compile it, always with the strict floating-point flags.
//
// The matrix product and the two transforms, once in plain scalar code, once in SIMD where the
// target has it (SSE2 on x86, NEON on AArch64), and where the build chooses kernels when the
// library is loaded (ORVEL_MATH_KERNELS_AT_LOAD: x86-64 Linux) once more for AVX. Every set gives
// the scalar code's bits: separate multiply and add instructions, each rounded on its own, never a
// fused form, and every NaN result made the canonical one (CanonicalNaN.h). The library uses
// `Fastest`, or, where the Avx set exists, whichever of `Fastest` and `Avx` the CPU allows
// (Matrix4Selection.cpp); the tests run every kernel set against the reference model.
//
// Matrices are 16 column-major floats; pointers need only float alignment (loads are unaligned).
// kVexEncoded says whether a set is compiled for AVX, so that code around it can match.

#include "math/detail/StrictFloat.h"

#include "math/Vector.h"

#include "math/detail/CanonicalNaN.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ORVEL_MATH_SIMD_SSE2 1
#if defined(ORVEL_MATH_KERNELS_AT_LOAD)
#include "math/detail/CpuFeatures.h"
#if !defined(ORVEL_MATH_CPU_FEATURES_GLIBC) || !defined(__x86_64__)
#error "kernels are chosen at load time only on x86-64 with glibc's view of the CPU"
#endif
#include <immintrin.h>
#define ORVEL_MATH_SIMD_AVX 1
#define ORVEL_MATH_TARGET_AVX __attribute__((target("avx")))
#endif
#elif defined(__aarch64__) || defined(_M_ARM64)
#include <arm_neon.h>
#define ORVEL_MATH_SIMD_NEON 1
#endif

namespace OrvelMath {
namespace Kernels {

// Results are built as values, not in local arrays: where an array stays on the stack (32-bit
// ARM), -fstack-protector-strong gives the function a canary, which costs more than the arithmetic.
struct Scalar {
  static constexpr bool kVexEncoded = false;

  // r = a x b. Element (j, k) is +0.0 + a(j,0)*b(0,k) + a(j,1)*b(1,k) + a(j,2)*b(2,k) +
  // a(j,3)*b(3,k), left to right; +0.0 first, so four -0.0 products give +0.0.
  static void Product(const float* a, const float* b, float* r) {
    const Vector4f r0 = Column(a, b);
    const Vector4f r1 = Column(a, b + 4);
    const Vector4f r2 = Column(a, b + 8);
    const Vector4f r3 = Column(a, b + 12);
    // Every input is read before the first store, so r may be a or b.
    Store(r, r0);
    Store(r + 4, r1);
    Store(r + 8, r2);
    Store(r + 12, r3);
  }

  // Rows 0..3 of m x v: ((m[i]*x + m[4+i]*y) + m[8+i]*z) + m[12+i]*w. No 0.0 is added first.
  static Vector4f Transform(const float* m, const Vector4f& v) {
    Vector4f r(Row(m, 0, v.x, v.y, v.z) + m[12] * v.w, Row(m, 1, v.x, v.y, v.z) + m[13] * v.w,
               Row(m, 2, v.x, v.y, v.z) + m[14] * v.w, Row(m, 3, v.x, v.y, v.z) + m[15] * v.w);
    WithCanonicalNaNs(r);
    return r;
  }

  // Rows 0..2 of m x (p, 1): the last column is added as it is (times 1, exactly).
  static Vector3f TransformPoint(const float* m, const Vector3f& p) {
    Vector3f r(Row(m, 0, p.x, p.y, p.z) + m[12], Row(m, 1, p.x, p.y, p.z) + m[13],
               Row(m, 2, p.x, p.y, p.z) + m[14]);
    WithCanonicalNaNs(r);
    return r;
  }

 private:
  // One column of a product: rows 0..3 of a times the column b[0..3].
  static Vector4f Column(const float* a, const float* b) {
    Vector4f column(Element(a, 0, b), Element(a, 1, b), Element(a, 2, b), Element(a, 3, b));
    WithCanonicalNaNs(column);
    return column;
  }

  static float Element(const float* a, int j, const float* b) {
    float sum = 0.0f;
    for (int i = 0; i < 4; ++i) sum = sum + a[4 * i + j] * b[i];
    return sum;
  }

  static void Store(float* r, const Vector4f& column) {
    r[0] = column.x;
    r[1] = column.y;
    r[2] = column.z;
    r[3] = column.w;
  }

  static float Row(const float* m, int i, float x, float y, float z) {
    float sum = m[i] * x;
    sum = sum + m[4 + i] * y;
    return sum + m[8 + i] * z;
  }
};

#if defined(ORVEL_MATH_SIMD_SSE2) || defined(ORVEL_MATH_SIMD_NEON)
#define ORVEL_MATH_HAS_SIMD 1

// The same operations with one matrix column per register: lane j of a column register is row j,
// so the four rows of a result column are computed side by side, each in the scalar order.
struct Simd {
  static constexpr bool kVexEncoded = false;

#if defined(ORVEL_MATH_SIMD_SSE2)
  using Lanes = __m128;
  static Lanes Load(const float* p) {
    return _mm_loadu_ps(p);
  }
  static void Store(float* p, Lanes v) {
    _mm_storeu_ps(p, v);
  }
  static Lanes Splat(float f) {
    return _mm_set1_ps(f);
  }
  // pshufd: one instruction that does not overwrite its source.
  template <int lane>
  static Lanes SplatLane(Lanes v) {
    return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(v), lane * 0x55));
  }
  // +0.0 in every lane.
  static Lanes Zero() {
    return _mm_setzero_ps();
  }
  static Lanes Add(Lanes a, Lanes b) {
    return _mm_add_ps(a, b);
  }
  static Lanes Multiply(Lanes a, Lanes b) {
    return _mm_mul_ps(a, b);
  }
  // Whether a register holds a NaN in its first `count` lanes (3 or 4).
  template <int count = 4>
  static bool AnyNaN(Lanes lanes) {
    return (_mm_movemask_ps(_mm_cmpunord_ps(lanes, lanes)) & ((1 << count) - 1)) != 0;
  }
  // Whether any of four registers holds a NaN: a comparison of two is unordered where either does.
  static bool AnyNaN(Lanes a, Lanes b, Lanes c, Lanes d) {
    return _mm_movemask_ps(_mm_or_ps(_mm_cmpunord_ps(a, b), _mm_cmpunord_ps(c, d))) != 0;
  }
  // The canonical NaN in every lane that holds a NaN.
  static Lanes Canonical(Lanes lanes) {
    return CanonicalLanes(lanes);
  }
#else
  using Lanes = float32x4_t;
  static Lanes Load(const float* p) {
    return vld1q_f32(p);
  }
  static void Store(float* p, Lanes v) {
    vst1q_f32(p, v);
  }
  static Lanes Splat(float f) {
    return vdupq_n_f32(f);
  }
  template <int lane>
  static Lanes SplatLane(Lanes v) {
    return vdupq_laneq_f32(v, lane);
  }
  static Lanes Zero() {
    return vdupq_n_f32(0.0f);
  }
  static Lanes Add(Lanes a, Lanes b) {
    return vaddq_f32(a, b);
  }
  // A plain multiply: never vfmaq_f32 or vmlaq_f32, which would fuse it into the add.
  static Lanes Multiply(Lanes a, Lanes b) {
    return vmulq_f32(a, b);
  }
  template <int count = 4>
  static bool AnyNaN(Lanes lanes) {
    uint32x4_t ordered = vceqq_f32(lanes, lanes);
    if constexpr (count == 3) ordered = vsetq_lane_u32(~0u, ordered, 3);
    return vminvq_u32(ordered) == 0;
  }
  static bool AnyNaN(Lanes a, Lanes b, Lanes c, Lanes d) {
    const uint32x4_t ordered = vandq_u32(vandq_u32(vceqq_f32(a, a), vceqq_f32(b, b)),
                                         vandq_u32(vceqq_f32(c, c), vceqq_f32(d, d)));
    return vminvq_u32(ordered) == 0;
  }
  static Lanes Canonical(Lanes lanes) {
    const Lanes canonical = vreinterpretq_f32_u32(vdupq_n_u32(kCanonicalNaNBits));
    return vbslq_f32(vceqq_f32(lanes, lanes), lanes, canonical);
  }
#endif

  static void Product(const float* a, const float* b, float* r) {
    const Lanes a0 = Load(a), a1 = Load(a + 4), a2 = Load(a + 8), a3 = Load(a + 12);
    Lanes r0 = Column(a0, a1, a2, a3, b);
    Lanes r1 = Column(a0, a1, a2, a3, b + 4);
    Lanes r2 = Column(a0, a1, a2, a3, b + 8);
    Lanes r3 = Column(a0, a1, a2, a3, b + 12);
    if (ORVEL_MATH_UNLIKELY(AnyNaN(r0, r1, r2, r3))) {
      r0 = Canonical(r0);
      r1 = Canonical(r1);
      r2 = Canonical(r2);
      r3 = Canonical(r3);
    }
    // Every input is read before the first store, so r may be a or b.
    Store(r, r0);
    Store(r + 4, r1);
    Store(r + 8, r2);
    Store(r + 12, r3);
  }

  static Vector4f Transform(const float* m, const Vector4f& v) {
    // A Vector4f is four packed floats in component order: one load, then broadcasts.
    const Lanes xyzw = Load(&v.x);
    const Lanes rows = Rows(m, SplatLane<0>(xyzw), SplatLane<1>(xyzw), SplatLane<2>(xyzw));
    Lanes result = Add(rows, Multiply(Load(m + 12), SplatLane<3>(xyzw)));
    if (ORVEL_MATH_UNLIKELY(AnyNaN(result))) result = Canonical(result);
    float r[4];
    Store(r, result);
    return Vector4f(r[0], r[1], r[2], r[3]);
  }

  // Lane 3 (the bottom row) is computed along and dropped; no result depends on it.
  static Vector3f TransformPoint(const float* m, const Vector3f& p) {
    Lanes result = Add(Rows(m, Splat(p.x), Splat(p.y), Splat(p.z)), Load(m + 12));
    if (ORVEL_MATH_UNLIKELY(AnyNaN<3>(result))) result = Canonical(result);
    float r[4];
    Store(r, result);
    return Vector3f(r[0], r[1], r[2]);
  }

 private:
  // One column of a product: +0.0 + a0*b[0] + a1*b[1] + a2*b[2] + a3*b[3], left to right.
  // The column of b is loaded once and its lanes broadcast by shuffles.
  static Lanes Column(Lanes a0, Lanes a1, Lanes a2, Lanes a3, const float* b) {
    const Lanes column = Load(b);
    Lanes sum = Zero();
    sum = Add(sum, Multiply(a0, SplatLane<0>(column)));
    sum = Add(sum, Multiply(a1, SplatLane<1>(column)));
    sum = Add(sum, Multiply(a2, SplatLane<2>(column)));
    return Add(sum, Multiply(a3, SplatLane<3>(column)));
  }

  // (column0*x + column1*y) + column2*z, starting from the first product.
  static Lanes Rows(const float* m, Lanes x, Lanes y, Lanes z) {
    Lanes sum = Multiply(Load(m), x);
    sum = Add(sum, Multiply(Load(m + 4), y));
    return Add(sum, Multiply(Load(m + 8), z));
  }
};

#if defined(ORVEL_MATH_SIMD_AVX)
// The product with two result columns per 256-bit register: the low half holds column k, the
// high half column k + 1, each lane in the scalar order (no fused forms: plain AVX has none).
// The transforms are the Simd ones compiled with the AVX encoding, which reads the matrix columns
// straight from memory instead of loading them first.
struct Avx {
  static constexpr bool kVexEncoded = true;

  // Whether this process may run AVX code (CpuFeatures.h). Called by the resolvers, before any
  // constructor has run.
  ORVEL_MATH_UNINSTRUMENTED static bool Usable() { return Cpu::Usable(Cpu::kAvx); }

  ORVEL_MATH_TARGET_AVX static void Product(const float* a, const float* b, float* r) {
    const __m256 a0 = Twice(a), a1 = Twice(a + 4), a2 = Twice(a + 8), a3 = Twice(a + 12);
    __m256 r01 = Columns(a0, a1, a2, a3, b);
    __m256 r23 = Columns(a0, a1, a2, a3, b + 8);
    // One comparison covers both: a lane is unordered where either holds a NaN. (vtestps would
    // save the move to a general register, but is slow on some CPUs.)
    if (ORVEL_MATH_UNLIKELY(_mm256_movemask_ps(_mm256_cmp_ps(r01, r23, _CMP_UNORD_Q)) != 0)) {
      const __m256 canonical = _mm256_castsi256_ps(_mm256_set1_epi32(kCanonicalNaNBits));
      r01 = _mm256_blendv_ps(r01, canonical, _mm256_cmp_ps(r01, r01, _CMP_UNORD_Q));
      r23 = _mm256_blendv_ps(r23, canonical, _mm256_cmp_ps(r23, r23, _CMP_UNORD_Q));
    }
    // Every input is read before the first store, so r may be a or b.
    _mm256_storeu_ps(r, r01);
    _mm256_storeu_ps(r + 8, r23);
  }

  ORVEL_MATH_TARGET_AVX static Vector4f Transform(const float* m, const Vector4f& v) {
    return Simd::Transform(m, v);
  }

  ORVEL_MATH_TARGET_AVX static Vector3f TransformPoint(const float* m, const Vector3f& p) {
    return Simd::TransformPoint(m, p);
  }

 private:
  // A column of a in both halves.
  ORVEL_MATH_TARGET_AVX static __m256 Twice(const float* column) {
    const __m128 lanes = _mm_loadu_ps(column);
    return _mm256_set_m128(lanes, lanes);
  }

  // Two columns of a product, columns k and k + 1 of b in the two halves. Each lane is the bits of
  // (((+0.0 + p0) + p1) + p2) + p3, pi = ai*b[i], computed as ((p0 + p1) + p2) + (p3 + 0.0) so that
  // the +0.0 leaves the dependent chain. In round to nearest the two agree: a zero added to a
  // non-zero value leaves it as it is and x + -x is +0.0, so the partial sums differ only when p0,
  // p1 and p2 are all -0.0 (+0.0 against -0.0), and then both totals are p3, or +0.0 when p3 is a
  // zero. Otherwise the partial sums are equal and not -0.0, and adding p3 or p3 + 0.0 (which is
  // p3, or +0.0 for a zero) gives the same bits.
  ORVEL_MATH_TARGET_AVX static __m256 Columns(__m256 a0, __m256 a1, __m256 a2, __m256 a3,
                                              const float* b) {
    const __m256 columns = _mm256_loadu_ps(b);
    const __m256 p0 = _mm256_mul_ps(a0, _mm256_permute_ps(columns, 0x00));
    const __m256 p1 = _mm256_mul_ps(a1, _mm256_permute_ps(columns, 0x55));
    const __m256 p2 = _mm256_mul_ps(a2, _mm256_permute_ps(columns, 0xAA));
    const __m256 p3 = _mm256_mul_ps(a3, _mm256_permute_ps(columns, 0xFF));
    const __m256 sum = _mm256_add_ps(_mm256_add_ps(p0, p1), p2);
    return _mm256_add_ps(sum, _mm256_add_ps(p3, _mm256_setzero_ps()));
  }
};
#endif

using Fastest = Simd;
#else
using Fastest = Scalar;
#endif

}  // namespace Kernels
}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_MATRIX_KERNELS_H
