// Prints the entry the dynamic linker picks for each indirect function named, as an offset into
// the library: one "<offset> <symbol>" line each. Usage: probe <library> <symbol>...

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <library> <symbol>...\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    // dlsym runs an indirect function's resolver and returns the entry it chose.
    void* entry = dlsym(library, argv[i]);
    Dl_info info{};
    if (entry == nullptr || dladdr(entry, &info) == 0) {
      std::fprintf(stderr, "%s: not found\n", argv[i]);
      return 1;
    }
    const std::uintptr_t offset =
        reinterpret_cast<std::uintptr_t>(entry) - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    std::printf("%016jx %s\n", static_cast<std::uintmax_t>(offset), argv[i]);
  }
  return 0;
}
