#ifndef ORVEL_API_H
#define ORVEL_API_H

// ORVEL_API marks what OrvelLib exports; everything else stays hidden inside the library.
// CMake defines OrvelLib_EXPORTS while it builds the library itself, so hosts need no define.
#if defined(_WIN32) || defined(__CYGWIN__)
#ifdef OrvelLib_EXPORTS
#define ORVEL_API __declspec(dllexport)
#else
#define ORVEL_API __declspec(dllimport)
#endif
#else
#define ORVEL_API __attribute__((visibility("default")))
#endif

// ORVEL_INLINE_MEMBER goes on the few members of an exported type that are defined in the header
// (construction and copy, which do no arithmetic): hosts compile them in place, and the library
// still emits and exports them for hosts that call the symbols. GCC and Clang need to be told on
// the member itself: on ELF an inline function is otherwise emitted only where it is called, with
// hidden visibility, and MinGW exports only the non-inline members of a dllexport class. MSVC
// exports the inline members of an exported class by itself.
#if defined(OrvelLib_EXPORTS) && defined(__GNUC__)
#if defined(_WIN32) || defined(__CYGWIN__)
#define ORVEL_INLINE_MEMBER __attribute__((dllexport))
#else
#define ORVEL_INLINE_MEMBER __attribute__((visibility("default"), used))
#endif
#else
#define ORVEL_INLINE_MEMBER
#endif

#endif  // ORVEL_API_H
