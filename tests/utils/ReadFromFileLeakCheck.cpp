// Applies the ownership rule of ReadFromFile (release a non-empty result with delete[], never an
// empty one) to every kind of result: regular files, streams read to their end, and files that
// can't be opened. Run under a leak checker, it must leave nothing behind. Exits 1 on wrong
// content.

#include <utils/FileManager.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::atomic<int> failures{0};

void ReadAndRelease(const char* path, const std::string& expected) {
  const char* text = OrvelUtils::OrvelFileManager::ReadFromFile(path);
  if (text != expected) {
    std::printf("wrong content from %s\n", path != nullptr ? path : "(null)");
    ++failures;
  }
  if (text[0] != '\0') delete[] text;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("orvel-leak-check-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string regular = (dir / "regular").string();
  const std::string empty = (dir / "empty").string();
  const std::string fifo = (dir / "fifo").string();
  const std::string large(100000, 'x');  // grows the stream buffer several times
  std::ofstream(regular) << large;
  std::ofstream{empty};
  mkfifo(fifo.c_str(), 0600);

  ReadAndRelease(regular.c_str(), large);
  ReadAndRelease(empty.c_str(), "");
  std::thread writer([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    if (write(fd, large.data(), large.size()) != static_cast<ssize_t>(large.size())) ++failures;
    close(fd);
  });
  ReadAndRelease(fifo.c_str(), large);
  writer.join();
  const char* status = OrvelUtils::OrvelFileManager::ReadFromFile("/proc/self/status");
  if (std::string(status).rfind("Name:", 0) != 0) ++failures;
  if (status[0] != '\0') delete[] status;

  ReadAndRelease((dir / "missing").string().c_str(), "");
  ReadAndRelease(dir.string().c_str(), "");
  ReadAndRelease(nullptr, "");

  fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
