// Prints the entry the dynamic linker picks for each matrix member of the library on this machine,
// as an offset into the library, one "<offset> <member>" line each. Usage: probe <library>

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <library>\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  const struct {
    const char* symbol;
    const char* member;
  } members[] = {
      {"_ZN9OrvelMath7Matrix48MultiplyERKS0_", "Matrix4::Multiply(const Matrix4&)"},
      {"_ZN9OrvelMath7Matrix4mLERKS0_", "Matrix4::operator*=(const Matrix4&)"},
      {"_ZNK9OrvelMath7Matrix48MultiplyERKNS_8Vector4fE", "Matrix4::Multiply(const Vector4f&)"},
      {"_ZNK9OrvelMath7Matrix48MultiplyERKNS_8Vector3fE", "Matrix4::Multiply(const Vector3f&)"},
  };
  for (const auto& m : members) {
    // dlsym runs an indirect function's resolver and returns the entry it chose.
    void* entry = dlsym(library, m.symbol);
    Dl_info info{};
    if (entry == nullptr || dladdr(entry, &info) == 0) {
      std::fprintf(stderr, "%s: not found\n", m.symbol);
      return 1;
    }
    const std::uintptr_t offset =
        reinterpret_cast<std::uintptr_t>(entry) - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    std::printf("%016jx %s\n", static_cast<std::uintmax_t>(offset), m.member);
  }
  return 0;
}
