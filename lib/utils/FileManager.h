#ifndef ORVEL_UTILS_FILE_MANAGER_H
#define ORVEL_UTILS_FILE_MANAGER_H

// OrvelLib whole-file reader.
//
//   #include <utils/FileManager.h>
//
//   const char* text = OrvelUtils::OrvelFileManager::ReadFromFile("shaders/basic.vert");
//   if (text[0] != '\0') {
//     Use(text);
//     delete[] text;  // a non-empty result is yours
//   }                 // an empty result ("") is never released
//
// Ownership: a non-empty result is a buffer from new char[], owned by the caller, who releases it
// with delete[]. An empty result is never released: when the file can't be opened it is a static
// empty string, which must not be freed. An empty file, or one whose first byte is 0, gives the
// same static "", so following this rule never leaks.
//
// Failure: a file that can't be opened (missing, unreadable, a directory, a null path) prints
// "Couldnt read file at: <path>" and a newline on std::cout and returns "". Nothing throws except
// std::bad_alloc when the buffer can't be allocated.
//
// Content: the file is read in text mode, so on Windows "\r\n" arrives as "\n" and a Ctrl-Z byte
// ends the text; elsewhere the bytes come unchanged. A 0 byte in the file ends the string early
// for anyone who reads it as a C string. Pipes and other streams without a known size are read
// to their end.
//
// Threads: calls for different files may run at once; the library keeps no state between calls.

#include "OrvelApi.h"

namespace OrvelUtils {
namespace OrvelFileManager {

ORVEL_API const char* ReadFromFile(const char* path);

}  // namespace OrvelFileManager
}  // namespace OrvelUtils

#endif  // ORVEL_UTILS_FILE_MANAGER_H
