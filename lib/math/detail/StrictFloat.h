#ifndef ORVEL_MATH_DETAIL_STRICT_FLOAT_H
#define ORVEL_MATH_DETAIL_STRICT_FLOAT_H

// Included first by every source that does arithmetic. The flags in cmake/OrvelCompilerOptions
// pin the rounding rules; these checks refuse builds that would silently break them.

#if defined(__FAST_MATH__) || (defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__)
#error "OrvelLib must not be built with -ffast-math or -ffinite-math-only: results would change"
#endif

#include <cfloat>
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error "OrvelLib needs float arithmetic evaluated in float (use SSE2 on 32-bit x86)"
#endif

#endif  // ORVEL_MATH_DETAIL_STRICT_FLOAT_H
