#include "math/KernelSets.h"

#include "math/detail/FloatEnvironment.h"
#include "math/detail/MatrixKernels.h"

namespace OrvelTest {
namespace {

template <typename Kernels>
KernelSet SetOf(const char* name, bool available = true) {
  return {name, available, &Kernels::Product, &Kernels::Transform, &Kernels::TransformPoint};
}

}  // namespace

std::vector<KernelSet> KernelSets() {
  std::vector<KernelSet> sets{SetOf<OrvelMath::Kernels::Scalar>("Scalar")};
#ifdef ORVEL_MATH_HAS_SIMD
  sets.push_back(SetOf<OrvelMath::Kernels::Simd>("Simd"));
#endif
#ifdef ORVEL_MATH_SIMD_AVX
  sets.push_back(SetOf<OrvelMath::Kernels::Avx>("Avx", OrvelMath::Kernels::Avx::Usable()));
#endif
  return sets;
}

AskedPath GuardPathAfterAFirstCall() {
#if defined(ORVEL_MATH_ENVIRONMENT_PROBES)
  namespace Environment = OrvelMath::Environment;
  // The first call asks; the second takes the path it settled on, whose probes must be the CPU's.
  const float operand = 1.0f;
  for (int call = 0; call < 2; ++call) {
    (void)Environment::InDefaultEnvironment<Environment::Least::kForSums>(
        [operand] { return operand; }, operand);
  }
  return {static_cast<int>(Environment::KnownPath()),
          static_cast<int>(Environment::PathOfThisCpu())};
#else
  return {0, 0};
#endif
}

}  // namespace OrvelTest
