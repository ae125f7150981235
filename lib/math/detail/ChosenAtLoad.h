#ifndef ORVEL_MATH_DETAIL_CHOSEN_AT_LOAD_H
#define ORVEL_MATH_DETAIL_CHOSEN_AT_LOAD_H

// Private to OrvelLib. Where the build chooses code when the library is loaded
// (ORVEL_MATH_KERNELS_AT_LOAD: x86-64 Linux with glibc, built by GCC or Clang), every exported
// operation is a GNU indirect function. Its resolver, which the dynamic linker runs while it
// relocates a caller, before any constructor, returns the operation's copy for this CPU: for the
// environment guard's common path (EnvironmentProbes.h) and, for the matrix members, the kernel set
// (MatrixKernels.h). The linker writes that address into the caller's slot, so each call enters
// its copy directly, with no dispatch of its own. Inside the library nothing calls these
// functions: a call to an indirect function goes through a PLT slot.

#include "math/detail/EnvironmentProbes.h"

// A resolver: uninstrumented, since no sanitizer's runtime is set up when it runs.
#define ORVEL_MATH_RESOLVER ORVEL_MATH_UNINSTRUMENTED __attribute__((visibility("hidden")))

// ORVEL_MATH_CHOSEN_AT_LOAD(declaration, "resolver"): the declared function, a member included, is
// an indirect function with that resolver. This is GCC's documented form; Clang accepts it once
// told that the declaration stands for the definition.
#if defined(__clang__)
#define ORVEL_MATH_CHOSEN_AT_LOAD(declaration, resolver)                            \
  _Pragma("clang diagnostic push")                                                  \
      _Pragma("clang diagnostic ignored \"-Wout-of-line-declaration\"") declaration \
      __attribute__((ifunc(resolver)));                                             \
  _Pragma("clang diagnostic pop")
#else
#define ORVEL_MATH_CHOSEN_AT_LOAD(declaration, resolver) \
  declaration __attribute__((ifunc(resolver)));
#endif

namespace OrvelMath {

// Of an operation's copies for the three paths, the one for this CPU.
template <typename Function>
ORVEL_MATH_UNINSTRUMENTED inline Function ForThisCpu(Function stateProbe, Function roundingProbe,
                                                     Function controlRegister) {
  switch (Environment::PathOfThisCpu()) {
    case Environment::Path::kStateProbe:
      return stateProbe;
    case Environment::Path::kRoundingProbe:
      return roundingProbe;
    default:
      return controlRegister;
  }
}

}  // namespace OrvelMath

#endif  // ORVEL_MATH_DETAIL_CHOSEN_AT_LOAD_H
