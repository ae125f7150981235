// Prints which probes the library's floating-point environment guard settled on, read from the
// library's own variable after a few calls in the default state: -1 (none), 1 (the rounding
// probe), 2 (the state probe), or 0 if it never asked, which leaves every call on the slow path.
// Usage: probe <library> <offset of OrvelMath::Environment::probes in it>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <library> <offset>\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  void* entry = library ? dlsym(library, "_ZN9OrvelMath9ToRadiansEf") : nullptr;
  Dl_info info{};
  if (entry == nullptr || dladdr(entry, &info) == 0) {
    std::fprintf(stderr, "%s: %s\n", argv[1], dlerror());
    return 1;
  }
  const auto toRadians = reinterpret_cast<float (*)(float)>(entry);
  for (int call = 0; call < 3; ++call) (void)toRadians(90.0f);
  const auto* probes = reinterpret_cast<const volatile int*>(
      static_cast<const char*>(info.dli_fbase) + std::strtoull(argv[2], nullptr, 16));
  std::printf("%d\n", *probes);
  return 0;
}
