// Round trip through ReadFromFile: the input bytes are written to a file, and the text read back
// must be exactly those bytes up to the first NUL. Text mode changes nothing on POSIX systems, so
// this target is for them. The result is released as the ownership rule says: delete[] when
// non-empty, never otherwise; a leak or an overrun is a finding of the sanitizers.

#include <utils/FileManager.h>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// One file per fuzzing process, rewritten for every input and removed at exit.
class ScratchFile {
 public:
  ScratchFile() {
    const char* directory = std::getenv("TMPDIR");
    path_ = std::string(directory != nullptr && *directory != '\0' ? directory : "/tmp") +
            "/OrvelReadFromFileFuzzer.XXXXXX";
    const int descriptor = mkstemp(&path_[0]);
    if (descriptor < 0) {
      std::perror("mkstemp");
      std::abort();
    }
    close(descriptor);
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  void Write(const std::uint8_t* data, std::size_t size) const {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(data, 1, size, file) == size;
    if (file == nullptr || std::fclose(file) != 0 || !written) {
      std::perror(path_.c_str());
      std::abort();
    }
  }

  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScratchFile file;
  file.Write(data, size);

  const char* text = OrvelUtils::OrvelFileManager::ReadFromFile(file.path());
  const void* firstNul = std::memchr(data, 0, size);
  const std::size_t expected =
      firstNul != nullptr
          ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(firstNul) - data)
          : size;
  const std::size_t length = std::strlen(text);
  if (length != expected || std::memcmp(text, data, expected) != 0) {
    std::fprintf(stderr, "ReadFromFile returned %zu bytes, the file holds %zu before any NUL\n",
                 length, expected);
    std::abort();
  }
  if (text[0] != '\0') delete[] text;
  return 0;
}
