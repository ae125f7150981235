// ReadFromFile against the practical floor (POSIX open/fstat/read into a fresh buffer) and the
// usual iostream idioms, on page-cached files of 4 KiB, 1 MiB and 256 MiB. The files live in a
// temporary directory for the length of the run.
//
//   ReadFromFileBench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

#include <utils/FileManager.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kSizes[] = {4 << 10, 1 << 20, 256 << 20};

fs::path& Directory() {
  static fs::path directory;
  return directory;
}

std::string PathFor(std::int64_t size) {
  return (Directory() / ("file-" + std::to_string(size))).string();
}

// Printable random text without NUL bytes, read once so that every run finds it page-cached.
void CreateFiles() {
  Directory() = fs::temp_directory_path() / ("orvel-readfile-bench-" + std::to_string(getpid()));
  fs::create_directories(Directory());
  std::mt19937 random(42);
  for (std::int64_t size : kSizes) {
    std::string text(static_cast<std::size_t>(size), '\0');
    for (char& c : text) c = static_cast<char>(' ' + random() % 95);
    std::ofstream(PathFor(size), std::ios::binary).write(text.data(), size);
    delete[] OrvelUtils::OrvelFileManager::ReadFromFile(PathFor(size).c_str());
  }
}

void ReadFromFile(benchmark::State& state) {
  const std::string path = PathFor(state.range(0));
  for (auto _ : state) {
    const char* text = OrvelUtils::OrvelFileManager::ReadFromFile(path.c_str());
    benchmark::DoNotOptimize(text);
    delete[] text;
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void PosixRead(benchmark::State& state) {
  const std::string path = PathFor(state.range(0));
  for (auto _ : state) {
    const int fd = open(path.c_str(), O_RDONLY);
    struct stat info;
    fstat(fd, &info);
    const std::size_t size = static_cast<std::size_t>(info.st_size);
    char* text = new char[size + 1];
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = read(fd, text + got, size - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    text[got] = '\0';
    close(fd);
    benchmark::DoNotOptimize(text);
    delete[] text;
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void IfstreamStringstream(benchmark::State& state) {
  const std::string path = PathFor(state.range(0));
  for (auto _ : state) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string result = text.str();
    benchmark::DoNotOptimize(result.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void IfstreamReadIntoString(benchmark::State& state) {
  const std::string path = PathFor(state.range(0));
  for (auto _ : state) {
    std::ifstream in(path, std::ios::ate);
    std::string result(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(result.data(), static_cast<std::streamsize>(result.size()));
    benchmark::DoNotOptimize(result.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  for (std::int64_t size : kSizes) benchmark->Arg(size);
  benchmark->Unit(benchmark::kMicrosecond);
}

BENCHMARK(ReadFromFile)->Apply(Sizes);
BENCHMARK(PosixRead)->Apply(Sizes);
BENCHMARK(IfstreamStringstream)->Apply(Sizes);
BENCHMARK(IfstreamReadIntoString)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CreateFiles();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Directory());
  return 0;
}
