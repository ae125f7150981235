#include "utils/FileManager.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <new>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace OrvelUtils {
namespace OrvelFileManager {
namespace {

// Closes the file on every way out of ReadFromFile, std::bad_alloc included.
struct FileCloser {
  void operator()(std::FILE* file) const { (void)std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` in text mode, again whenever a signal interrupts the open: opening a FIFO waits
// there for a writer.
FileHandle OpenForReading(const char* path) {
  if (path == nullptr) return nullptr;
  for (;;) {
    FileHandle file(std::fopen(path, "rt"));
    if (file != nullptr || errno != EINTR) return file;
  }
}

// What ExpectedSize reports besides a byte count.
constexpr std::int64_t kUnknownSize = -1;
constexpr std::int64_t kDirectory = -2;

// First buffer for a stream of unknown size; it doubles from there.
constexpr std::size_t kFirstChunk = std::size_t{16} * 1024;

const char* ReportUnreadable(const char* path) {
  // Streaming a null char* would leave std::cout failed for the rest of the host's life.
  std::cout << "Couldnt read file at: " << (path != nullptr ? path : "(null)") << std::endl;
  return "";
}

// The file's end position in bytes; kUnknownSize when it has none (pipes, terminals, most /proc
// files); kDirectory for a directory, which fopen accepts on POSIX systems (Windows refuses it)
// and whose end position means nothing (LLONG_MAX on ext4). Leaves the file at its start.
std::int64_t ExpectedSize(std::FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return kUnknownSize;
  const std::int64_t end = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return kUnknownSize;
#else
  // One fstat both spots a directory and gives a regular file's end position without seeking
  // there and back.
  struct stat info;
  if (fstat(fileno(file), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return kDirectory;
    if (S_ISREG(info.st_mode)) return info.st_size;
  }
  if (fseeko(file, 0, SEEK_END) != 0) return kUnknownSize;
  const std::int64_t end = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return kUnknownSize;
#endif
  return end;
}

// Reads up to `count` bytes into `buffer` and returns how many arrived, going on where a signal
// interrupted the read (a FIFO or a pipe waiting for its writer, under a handler without
// SA_RESTART). Fewer than `count` means the end of the file or a read error: std::ferror tells.
std::size_t ReadUpTo(std::FILE* file, char* buffer, std::size_t count) {
  std::size_t got = std::fread(buffer, 1, count, file);
  while (got < count && std::ferror(file) != 0 && errno == EINTR) {
    std::clearerr(file);
    got += std::fread(buffer + got, 1, count - got, file);
  }
  return got;
}

// Reads up to `size` bytes into a buffer of size + 1. Text mode may deliver fewer bytes (CRLF
// translation, a Ctrl-Z), and so may a file that shrank meanwhile: only the tail after what was
// read is zeroed, so memory is written once. A read error is for the caller to spot.
char* ReadKnownSize(std::FILE* file, std::uint64_t size) {
  if (size >= std::numeric_limits<std::size_t>::max()) throw std::bad_alloc();
  const std::size_t n = static_cast<std::size_t>(size);
  char* buffer = new char[n + 1];
  const std::size_t got = ReadUpTo(file, buffer, n);
  std::memset(buffer + got, 0, n + 1 - got);
  return buffer;
}

// Reads a stream of unknown size to its end, growing the buffer, then hands back a buffer of
// exactly length + 1.
char* ReadToEnd(std::FILE* file) {
  std::size_t capacity = kFirstChunk;
  std::unique_ptr<char[]> chunks(new char[capacity]);
  std::size_t length = 0;
  for (;;) {
    length += ReadUpTo(file, chunks.get() + length, capacity - length);
    if (length < capacity) break;  // end of the stream (or a read error)
    if (capacity > std::numeric_limits<std::size_t>::max() / 2) throw std::bad_alloc();
    std::unique_ptr<char[]> larger(new char[capacity * 2]);
    std::memcpy(larger.get(), chunks.get(), length);
    chunks = std::move(larger);
    capacity *= 2;
  }
  char* buffer = new char[length + 1];
  std::memcpy(buffer, chunks.get(), length);
  buffer[length] = '\0';
  return buffer;
}

// Callers release only non-empty results, since an empty one may be the static failure string.
// So an empty text (an empty file, or one that starts with a 0 byte) must not stay a heap buffer:
// it becomes the static "" too.
const char* OwnedOrEmpty(const char* text) {
  if (text[0] != '\0') return text;
  delete[] text;
  return "";
}

}  // namespace

const char* ReadFromFile(const char* path) {
  const FileHandle file = OpenForReading(path);
  if (file == nullptr) return ReportUnreadable(path);
  // Unbuffered, fread goes straight to the system's read into our buffer: no stdio buffer to
  // allocate and copy through. Text-mode translation still happens where the platform does it.
  (void)std::setvbuf(file.get(), nullptr, _IONBF, 0);
  const std::int64_t size = ExpectedSize(file.get());
  if (size == kDirectory) return ReportUnreadable(path);
  // A size of 0 is either an empty file or a generated one (/proc) that only reading reveals.
  std::unique_ptr<char[]> text(size > 0
                                   ? ReadKnownSize(file.get(), static_cast<std::uint64_t>(size))
                                   : ReadToEnd(file.get()));
  // A read that failed has lost the rest of the text: the part that arrived is not the file.
  if (std::ferror(file.get()) != 0) return ReportUnreadable(path);
  return OwnedOrEmpty(text.release());
}

}  // namespace OrvelFileManager
}  // namespace OrvelUtils
