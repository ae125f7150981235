#include "utils/FileManager.h"

#include <cstdio>
#include <cstring>
#include <iostream>

namespace OrvelUtils {
namespace OrvelFileManager {

const char* ReadFromFile(const char* path) {
  std::FILE* file = path ? std::fopen(path, "rt") : nullptr;
  if (file == nullptr) {
    std::cout << "Couldnt read file at: " << (path ? path : "(null path)") << std::endl;
    return "";
  }
  // A failed seek shows as a size of -1, and a short read leaves the rest of the buffer 0.
  (void)std::fseek(file, 0, SEEK_END);
  const long size = std::ftell(file);
  (void)std::fseek(file, 0, SEEK_SET);
  const std::size_t n = size > 0 ? static_cast<std::size_t>(size) : 0;
  char* buffer = new char[n + 1];
  std::memset(buffer, 0, n + 1);
  (void)std::fread(buffer, 1, n, file);
  (void)std::fclose(file);
  if (buffer[0] == '\0') {
    // Callers release only non-empty results, so an empty text must not be a heap buffer.
    delete[] buffer;
    return "";
  }
  return buffer;
}

}  // namespace OrvelFileManager
}  // namespace OrvelUtils
