// The golden workload in a web page: prints the digest, and exits with status 0 when it is the
// golden one, 1 when any result bit changed.

#include "math/GoldenWorkload.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

int main() {
  const std::uint64_t digest = OrvelTest::WorkloadDigest();
  std::printf("golden digest 0x%016" PRIX64 "\n", digest);
  if (digest == OrvelTest::kGoldenDigest) return 0;
  std::printf("expected      0x%016" PRIX64 "\n", OrvelTest::kGoldenDigest);
  return 1;
}
