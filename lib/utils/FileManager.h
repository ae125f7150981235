#ifndef ORVEL_UTILS_FILE_MANAGER_H
#define ORVEL_UTILS_FILE_MANAGER_H

// OrvelLib whole-file reader.
//
//   #include <OrvelLib/utils/FileManager.h>  // or <utils/FileManager.h>
//
//   const char* text = OrvelUtils::OrvelFileManager::ReadFromFile("shaders/basic.vert");
//   if (text[0] != '\0') {
//     Use(text);
//     delete[] text;  // a non-empty result is yours
//   }                 // an empty result ("") is never released
//
// Ownership: a non-empty result is a buffer from new char[], owned by the caller, who releases it
// with delete[]; it stays valid until then. An empty result is a static empty string that must
// never be released: that is what a failed open or read, an empty file and a file starting with a
// 0 byte all return, so following this rule never leaks and never frees static storage.
//
// Failure: a file that can't be opened (missing, unreadable, a directory) prints
// "Couldnt read file at: <path>" and a newline on std::cout and returns "". A null path does the
// same with "(null)" in place of the path, and leaves std::cout usable. So does a file that opens
// but fails to read (an I/O error such as EIO, at its first byte or later): what arrived before
// the error is dropped, never returned as if it were the whole text. A signal that interrupts the
// open or a read (EINTR, under a handler installed without SA_RESTART) is no failure: the call
// goes on where it stopped. Nothing throws except std::bad_alloc when the buffer can't be
// allocated. No file stays open and nothing leaks on any path, that one included.
//
// Content: the file is read in text mode, so on Windows "\r\n" arrives as "\n" and a Ctrl-Z byte
// ends the text; elsewhere the bytes come unchanged. A non-empty regular file of n bytes gives a
// buffer of n + 1 bytes: what was read, then zeros to the end. A 0 byte in the file ends the string
// early for anyone who reads it as a C string. Pipes, FIFOs, /dev/stdin and /proc files, whose size
// isn't known up front, are read to their end (a stream that never ends, like /dev/zero, runs
// out of memory). Sizes are 64-bit everywhere, so a 64-bit host reads a file over 2 GiB wherever
// memory allows. A 32-bit host gets std::bad_alloc for a file of 2 GiB or more: glibc refuses any
// single allocation above PTRDIFF_MAX (2 GiB - 1 bytes).
//
// Threads: calls may run on any threads at once; the library keeps no state between calls. Only
// the failure message shares a resource, std::cout, where it may interleave with other output.

// Relative to this header, so that a host header of the same name can never be found instead.
#include "../OrvelApi.h"

namespace OrvelUtils {
namespace OrvelFileManager {

// The whole content of the file at `path` as one NUL-terminated string; see above for who
// releases it.
ORVEL_API const char* ReadFromFile(const char* path);

}  // namespace OrvelFileManager
}  // namespace OrvelUtils

#endif  // ORVEL_UTILS_FILE_MANAGER_H
