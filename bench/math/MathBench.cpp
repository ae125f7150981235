// OrvelLib's math operations against glm and Eigen, each compiled out of line behind a shared
// library (the like-for-like comparison: every call crosses the boundary) and inlined (what a
// header-only user gets), and against an exported function that does nothing (the call floor).
//
// Every benchmark does one operation per iteration on inputs that rotate through a small table,
// except HostLoop, which transforms 1,000,000 points per iteration; the `ops` counter says how
// many operations one iteration is. ORVEL_BENCH_ITERATIONS=n fixes the iteration count, for
// counting instructions under callgrind. ORVEL_BENCH_HOST_STATE puts the benchmark thread, and so
// every contender, in a floating-point state hosts run in: "default", "ftz-daz" (flush-to-zero and
// denormals-are-zero, as -ffast-math start-up code and many engines set them) or "upward" (a
// directed rounding mode).

#include "peers/Inline.h"
#include "peers/Peers.h"

#include <math/Matrix4.h>
#include <math/Vector.h>

#include <benchmark/benchmark.h>

#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && \
    __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#define ORVEL_BENCH_KERNELS_AT_LOAD 1
#endif
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kTable = 256;  // a power of two
constexpr std::size_t kPoints = 1000000;

// The value types of each library, made from plain floats. PointMatrix is what a user of the
// library transforms points with: the 4x4 matrix, or Eigen's affine transform.
struct OrvelTypes {
  using Matrix = OrvelMath::Matrix4;
  using PointMatrix = Matrix;
  using Vector4 = OrvelMath::Vector4f;
  using Vector3 = OrvelMath::Vector3f;
  static Matrix MakeMatrix(const float* f) {
    Matrix m;
    for (int i = 0; i < 16; ++i) m.m[i] = f[i];
    return m;
  }
  static PointMatrix MakePointMatrix(const float* f) { return MakeMatrix(f); }
  static Vector4 MakeVector4(const float* f) { return Vector4(f[0], f[1], f[2], f[3]); }
  static Vector3 MakeVector3(const float* f) { return Vector3(f[0], f[1], f[2]); }
};

struct GlmTypes {
  using Matrix = glm::mat4;
  using PointMatrix = Matrix;
  using Vector4 = glm::vec4;
  using Vector3 = glm::vec3;
  static Matrix MakeMatrix(const float* f) {
    Matrix m;
    for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = f[i];
    return m;
  }
  static PointMatrix MakePointMatrix(const float* f) { return MakeMatrix(f); }
  static Vector4 MakeVector4(const float* f) { return Vector4(f[0], f[1], f[2], f[3]); }
  static Vector3 MakeVector3(const float* f) { return Vector3(f[0], f[1], f[2]); }
};

struct EigenTypes {
  using Matrix = Eigen::Matrix4f;
  using PointMatrix = Eigen::Affine3f;
  using Vector4 = Eigen::Vector4f;
  using Vector3 = Eigen::Vector3f;
  static Matrix MakeMatrix(const float* f) { return Eigen::Map<const Matrix>(f); }
  static PointMatrix MakePointMatrix(const float* f) { return PointMatrix(MakeMatrix(f)); }
  static Vector4 MakeVector4(const float* f) { return Vector4(f[0], f[1], f[2], f[3]); }
  static Vector3 MakeVector3(const float* f) { return Vector3(f[0], f[1], f[2]); }
};

// One adapter per contender, all with the same static interface.
struct Orvel : OrvelTypes {
  static Matrix& Multiply(Matrix& self, const Matrix& other) { return self.Multiply(other); }
  static Vector4 Transform(const Matrix& m, const Vector4& v) { return m.Multiply(v); }
  static Vector3 TransformPoint(const PointMatrix& m, const Vector3& p) { return m.Multiply(p); }
  static float Dot(Vector3& self, Vector3& other) { return self.DotProduct(other); }
  static Vector3& Add(Vector3& self, const Vector3& other) { return self.Add(other); }
  static float ToRadians(float degrees) { return OrvelMath::ToRadians(degrees); }
};

// OrvelLib's transform followed by an out-of-line copy: the host loop as it was while copy
// assignment was a library call.
struct OrvelExportedCopy : Orvel {};

#define ORVEL_BENCH_ADAPTER(Name, Types, Functions)                                         \
  struct Name : Types {                                                                     \
    static Matrix& Multiply(Matrix& self, const Matrix& other) {                            \
      return Functions::Multiply(self, other);                                              \
    }                                                                                       \
    static Vector4 Transform(const Matrix& m, const Vector4& v) {                           \
      return Functions::Transform(m, v);                                                    \
    }                                                                                       \
    static Vector3 TransformPoint(const PointMatrix& m, const Vector3& p) {                 \
      return Functions::TransformPoint(m, p);                                               \
    }                                                                                       \
    static float Dot(Vector3& self, Vector3& other) { return Functions::Dot(self, other); } \
    static Vector3& Add(Vector3& self, const Vector3& other) {                              \
      return Functions::Add(self, other);                                                   \
    }                                                                                       \
    static float ToRadians(float degrees) { return Functions::ToRadians(degrees); }         \
  };

ORVEL_BENCH_ADAPTER(GlmShared, GlmTypes, Peers::Glm)
ORVEL_BENCH_ADAPTER(EigenShared, EigenTypes, Peers::Eigen)
ORVEL_BENCH_ADAPTER(GlmInline, GlmTypes, Inline::Glm)
ORVEL_BENCH_ADAPTER(EigenInline, EigenTypes, Inline::Eigen)
ORVEL_BENCH_ADAPTER(Floor, OrvelTypes, Peers::Floor)

#undef ORVEL_BENCH_ADAPTER

// Deterministic inputs in [-1, 1), the same for every contender.
std::vector<float> RandomFloats(std::size_t count) {
  std::uint64_t state = 0x0123456789ABCDEFull;
  std::vector<float> floats(count);
  for (float& f : floats) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    f = static_cast<float>(static_cast<std::int32_t>(state >> 32)) * 0x1p-31f;
  }
  return floats;
}

template <typename T>
std::vector<T> Table(std::size_t count, std::size_t components, T (*make)(const float*)) {
  const std::vector<float> floats = RandomFloats(count * components);
  std::vector<T> table;
  table.reserve(count);
  for (std::size_t i = 0; i < count; ++i) table.push_back(make(&floats[i * components]));
  return table;
}

// A rotation: repeated products keep every element bounded, so no value drifts into denormals
// or infinities however long a benchmark runs.
template <typename Api>
typename Api::Matrix Rotation() {
  const float c = std::cos(0.5f), s = std::sin(0.5f);
  const float f[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  return Api::MakeMatrix(f);
}

template <typename Api>
typename Api::Matrix AnyMatrix() {
  return Api::MakeMatrix(RandomFloats(16).data());
}

template <typename Api>
void MatrixProductIndependent(benchmark::State& state) {
  std::vector<typename Api::Matrix> matrices(kTable, Rotation<Api>());
  const auto rotation = Rotation<Api>();
  std::size_t i = 0;
  for (auto _ : state) {
    Api::Multiply(matrices[i], rotation);
    benchmark::ClobberMemory();
    i = (i + 1) & (kTable - 1);
  }
}

template <typename Api>
void MatrixProductChain(benchmark::State& state) {
  auto product = Rotation<Api>();
  const auto rotation = Rotation<Api>();
  for (auto _ : state) {
    Api::Multiply(product, rotation);
    benchmark::DoNotOptimize(product);
  }
}

template <typename Api>
void TransformVector4(benchmark::State& state) {
  const auto m = AnyMatrix<Api>();
  const auto vectors = Table(kTable, 4, &Api::MakeVector4);
  std::size_t i = 0;
  for (auto _ : state) {
    auto result = Api::Transform(m, vectors[i]);
    benchmark::DoNotOptimize(result);
    i = (i + 1) & (kTable - 1);
  }
}

template <typename Api>
void TransformVector3(benchmark::State& state) {
  const auto m = Api::MakePointMatrix(RandomFloats(16).data());
  const auto points = Table(kTable, 3, &Api::MakeVector3);
  std::size_t i = 0;
  for (auto _ : state) {
    auto result = Api::TransformPoint(m, points[i]);
    benchmark::DoNotOptimize(result);
    i = (i + 1) & (kTable - 1);
  }
}

template <typename Api>
void DotProduct3(benchmark::State& state) {
  auto a = Table(kTable, 3, &Api::MakeVector3);
  auto b = Table(kTable, 3, &Api::MakeVector3);
  std::size_t i = 0;
  for (auto _ : state) {
    float result = Api::Dot(a[i], b[(i + 1) & (kTable - 1)]);
    benchmark::DoNotOptimize(result);
    i = (i + 1) & (kTable - 1);
  }
}

template <typename Api>
void Add3(benchmark::State& state) {
  auto sums = Table(kTable, 3, &Api::MakeVector3);
  const auto steps = Table(kTable, 3, &Api::MakeVector3);
  std::size_t i = 0;
  for (auto _ : state) {
    Api::Add(sums[i], steps[(i + 1) & (kTable - 1)]);
    benchmark::ClobberMemory();
    i = (i + 1) & (kTable - 1);
  }
}

template <typename Api>
void ToRadians(benchmark::State& state) {
  const std::vector<float> degrees = RandomFloats(kTable);
  std::size_t i = 0;
  for (auto _ : state) {
    float result = Api::ToRadians(degrees[i]);
    benchmark::DoNotOptimize(result);
    i = (i + 1) & (kTable - 1);
  }
}

// out[i] = M x in[i] over a million points, as a host transforms a mesh.
template <typename Api>
void HostLoop(benchmark::State& state) {
  const auto m = Api::MakePointMatrix(RandomFloats(16).data());
  const auto in = Table(kPoints, 3, &Api::MakeVector3);
  std::vector<typename Api::Vector3> out(kPoints);
  for (auto _ : state) {
    for (std::size_t i = 0; i < kPoints; ++i) {
      if constexpr (std::is_same_v<Api, OrvelExportedCopy>) {
        Peers::Floor::Copy(out[i], Api::TransformPoint(m, in[i]));
      } else {
        out[i] = Api::TransformPoint(m, in[i]);
      }
    }
    benchmark::ClobberMemory();
  }
  state.counters["ops"] = static_cast<double>(kPoints);
}

// The kernel set OrvelLib's matrix members run here: on x86-64 Linux the library enters its Avx
// set when glibc reports AVX as usable (GLIBC_TUNABLES can mask it), and its Simd set otherwise.
const char* MatrixKernels() {
#if defined(ORVEL_BENCH_KERNELS_AT_LOAD)
  return CPU_FEATURE_ACTIVE(AVX) ? "Avx" : "Simd";
#elif defined(__SSE2__) || defined(__aarch64__) || defined(_M_X64) || defined(_M_ARM64)
  return "Simd";
#else
  return "Scalar";
#endif
}

// Puts the calling thread in the named host state; false for a name this target can't set.
bool EnterHostState(const std::string& state) {
  if (state == "default") return true;
  if (state == "upward") return std::fesetround(FE_UPWARD) == 0;
#if defined(__SSE__)
  if (state == "ftz-daz") {
    _mm_setcsr(_mm_getcsr() | 0x8040u);  // flush to zero, denormals are zero
    return true;
  }
#endif
  return false;
}

void Register(const std::string& name, void (*function)(benchmark::State&)) {
  benchmark::internal::Benchmark* benchmark = benchmark::RegisterBenchmark(name.c_str(), function);
  if (const char* fixed = std::getenv("ORVEL_BENCH_ITERATIONS")) {
    benchmark->Iterations(std::atoll(fixed));
  }
}

template <typename Api>
void RegisterContender(const std::string& contender) {
  using Function = void (*)(benchmark::State&);
  const std::pair<const char*, Function> operations[] = {
      {"MatrixProduct", MatrixProductIndependent<Api>},
      {"MatrixProductChain", MatrixProductChain<Api>},
      {"TransformVector4", TransformVector4<Api>},
      {"TransformVector3", TransformVector3<Api>},
      {"DotProduct3", DotProduct3<Api>},
      {"Add3", Add3<Api>},
      {"ToRadians", ToRadians<Api>},
      {"HostLoop", HostLoop<Api>},
  };
  for (const auto& [operation, function] : operations) {
    Register(std::string(operation) + "/" + contender, function);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* requested = std::getenv("ORVEL_BENCH_HOST_STATE");
  const std::string hostState = requested != nullptr ? requested : "default";
  if (!EnterHostState(hostState)) {
    std::fprintf(stderr, "ORVEL_BENCH_HOST_STATE=%s: not a state this target can set\n",
                 hostState.c_str());
    return 2;
  }
  RegisterContender<Orvel>("OrvelLib");
  RegisterContender<GlmShared>("glm.so");
  RegisterContender<EigenShared>("Eigen.so");
  RegisterContender<GlmInline>("glm-inline");
  RegisterContender<EigenInline>("Eigen-inline");
  RegisterContender<Floor>("floor");
  Register("HostLoop/OrvelLib-exported-copy", HostLoop<OrvelExportedCopy>);
  benchmark::AddCustomContext("matrix_kernels", MatrixKernels());
  benchmark::AddCustomContext("host_state", hostState);
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  benchmark::AddCustomContext("glibc_tunables", tunables != nullptr ? tunables : "");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
