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

#endif  // ORVEL_API_H
