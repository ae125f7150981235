// orvellib-check: whether OrvelLib gives its promised result bits on this machine.
//
// It runs the golden workload, the one the golden-digest test runs, through the library in each
// floating-point control state a host may leave a thread in, set with the host's own means
// (<cfenv>, MXCSR, FPCR, FPSCR); checks that the library handed each state back; and compares each
// state's digest with the golden one. It also reads back through ReadFromFile a file it wrote.
// Exit status 0 when every state gives the golden digest and the reader works, 1 otherwise, 2 on
// bad usage.
//
// Like the golden-digest test it does no float arithmetic of its own that reaches a digest, so it
// holds when built as a -ffast-math host.

#include <OrvelLib/OrvelVersion.h>
#include <OrvelLib/math/Matrix4.h>
#include <OrvelLib/utils/FileManager.h>

#include "math/GoldenWorkload.h"
#include "math/HostEnvironment.h"
#include "math/detail/CpuFeatures.h"

#include <cfenv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#if !defined(__EMSCRIPTEN__)
#include <dlfcn.h>
#endif
#endif
#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#endif

namespace {

#define ORVEL_CHECK_TEXT(x) #x
#define ORVEL_CHECK_NUMBER(x) ORVEL_CHECK_TEXT(x)

constexpr const char* kArchitecture =
#if defined(__x86_64__) || defined(_M_X64)
    "x86-64";
#elif defined(__i386__) || defined(_M_IX86)
    "32-bit x86";
#elif defined(__aarch64__) || defined(_M_ARM64)
    "AArch64";
#elif defined(__arm__) || defined(_M_ARM)
    "32-bit ARM";
#elif defined(__riscv) && __riscv_xlen == 64
    "RISC-V 64";
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
    "POWER, little-endian";
#elif defined(__powerpc64__)
    "POWER, big-endian";
#elif defined(__s390x__)
    "IBM Z (s390x)";
#elif defined(__wasm32__)
    "WebAssembly (wasm32)";
#else
    "an unlisted architecture";
#endif

constexpr const char* kSystem =
#if defined(_WIN32)
    "Windows";
#elif defined(__EMSCRIPTEN__)
    "Emscripten";
#elif defined(__linux__)
    "Linux";
#elif defined(__APPLE__)
    "macOS";
#else
    "an unlisted system";
#endif

constexpr const char* kCompiler =
#if defined(__clang__)
    "Clang " ORVEL_CHECK_NUMBER(__clang_major__) "." ORVEL_CHECK_NUMBER(
        __clang_minor__) "." ORVEL_CHECK_NUMBER(__clang_patchlevel__);
#elif defined(__GNUC__)
    "GCC " ORVEL_CHECK_NUMBER(__GNUC__) "." ORVEL_CHECK_NUMBER(
        __GNUC_MINOR__) "." ORVEL_CHECK_NUMBER(__GNUC_PATCHLEVEL__);
#elif defined(_MSC_VER)
    "MSVC " ORVEL_CHECK_NUMBER(_MSC_FULL_VER);
#else
    "an unlisted compiler";
#endif

std::string Platform() {
  std::string platform = std::string(kArchitecture) + " " + kSystem;
#if defined(__GLIBC__)
  platform += std::string(", glibc ") + gnu_get_libc_version();
#endif
  return platform;
}

// What the library does on this CPU. It exports nothing but its API, so this mirrors its own
// choices in lib/math/detail (CpuFeatures.h: the features it reads, through the same code;
// EnvironmentProbes.h and ControlRegister.h: the guard's common path; MatrixKernels.h and
// lib/CMakeLists.txt: the kernels). Change it with them.
struct LibraryPath {
  const char* featureSource;                           // who the library asks, if anyone
  std::vector<std::pair<const char*, bool>> features;  // the CPU features it asks for
  const char* guard;                                   // the environment guard's common path
  const char* kernels;                                 // the matrix kernel set
};

LibraryPath LibraryPathHere() {
#if defined(ORVEL_MATH_CPU_FEATURES_GLIBC) || defined(ORVEL_MATH_CPU_FEATURES_CPUID)
  namespace Cpu = OrvelMath::Cpu;
  const bool sse41 = Cpu::Usable(Cpu::kSse41), avx = Cpu::Usable(Cpu::kAvx);
  const bool avx512 = Cpu::Usable(Cpu::kAvx512);
  const char* guard = !sse41          ? "control register read (MXCSR)"
                      : avx512 && avx ? "AVX-512 state probe"
                                      : "SSE4.1 rounding probe with operand check";
#if defined(ORVEL_MATH_CPU_FEATURES_GLIBC)
  const char* kernels = "SSE2";
#if defined(ORVEL_MATH_KERNELS_AT_LOAD)
  kernels = avx ? "AVX" : "SSE2";
#endif
  return {"glibc", {{"SSE4.1", sse41}, {"AVX", avx}, {"AVX-512F", avx512}}, guard, kernels};
#else
  return {"cpuid", {{"SSE4.1", sse41}}, guard, "SSE2"};
#endif
#elif defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  return {"none", {}, "control register read (MXCSR)", "SSE2"};
#elif defined(__aarch64__) || defined(_M_ARM64)
  return {"none", {}, "control register read (FPCR)", "NEON"};
#elif defined(__arm__) && defined(__ARM_FP) && defined(__GNUC__)
  return {"none", {}, "control register read (FPSCR)", "scalar"};
#elif defined(__wasm__)
  return {"none", {}, "none: WebAssembly has no control state", "scalar"};
#else
  return {"none", {}, "rounding mode read through <cfenv>", "scalar"};
#endif
}

// The file the library was loaded from, links resolved, where the platform tells.
std::string LibraryFile() {
  float (*const function)(float) = &OrvelMath::ToRadians;
#if defined(_WIN32)
  HMODULE module = nullptr;
  char path[MAX_PATH];
  if (GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(function), &module) &&
      GetModuleFileNameA(module, path, sizeof path) != 0) {
    return path;
  }
#elif defined(__EMSCRIPTEN__)
  (void)function;
  return "linked into this program (WebAssembly has no shared libraries)";
#else
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(function), &info) != 0 && info.dli_fname != nullptr) {
    char* resolved = realpath(info.dli_fname, nullptr);
    const std::string file = resolved != nullptr ? resolved : info.dli_fname;
    std::free(resolved);
    return file;
  }
#endif
  return "unknown";
}

enum class Outcome { kPass, kFail, kSkipped };
const char* const kOutcomeNames[] = {"pass", "FAIL", "skipped"};  // as printed in text

struct StateResult {
  std::string name;
  Outcome outcome;
  std::uint64_t digest;
  std::string note;  // why it failed or was skipped
};

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIX64, value);
  return text;
}

// The workload with the thread in `state`, and whether the library handed the state back.
StateResult RunIn(const OrvelTest::HostEnvironment& state) {
  OrvelTest::InHostEnvironment host(state);
  if (!host.Entered()) {
    return {state.name, Outcome::kSkipped, 0, "this target does not take the rounding mode"};
  }
  if ((OrvelTest::ReadRegister() & OrvelTest::kFlushToZeroBits) != state.flushBits) {
    return {state.name, Outcome::kSkipped, 0, "the FPU did not take the flush mode"};
  }
  const int rounding = std::fegetround();
  const unsigned long long control = OrvelTest::ControlRegister();
  const std::uint64_t digest = OrvelTest::WorkloadDigest();
  std::string note;
  if (std::fegetround() != rounding || OrvelTest::ControlRegister() != control) {
    note = "the library changed the state: control " + Hex(control) + " became " +
           Hex(OrvelTest::ControlRegister()) + ", rounding " + std::to_string(rounding) +
           " became " + std::to_string(std::fegetround());
  }
  if (digest != OrvelTest::kGoldenDigest) {
    note += note.empty() ? "not the golden digest" : "; and not the golden digest";
  }
  return {state.name, note.empty() ? Outcome::kPass : Outcome::kFail, digest, note};
}

std::vector<StateResult> RunInEveryState() {
  std::vector<StateResult> results = {RunIn({"default", FE_TONEAREST, 0})};
  for (const OrvelTest::HostEnvironment& state : OrvelTest::HostEnvironments()) {
    results.push_back(RunIn(state));
  }
  if (!OrvelTest::kHasFlushToZero) {
    results.push_back({"flush modes", Outcome::kSkipped, 0,
                       "no flush-to-zero mode that this program can set on this target"});
  }
  return results;
}

// A new empty file in the temporary directory, open for writing; its name in `path`.
std::FILE* CreateTemporaryFile(std::string& path) {
#if defined(_WIN32)
  char directory[MAX_PATH + 1], name[MAX_PATH + 1];
  if (GetTempPathA(sizeof directory, directory) == 0 ||
      GetTempFileNameA(directory, "orv", 0, name) == 0) {
    return nullptr;
  }
  path = name;
  return std::fopen(name, "wb");
#else
  const char* directory = std::getenv("TMPDIR");
  path = std::string(directory != nullptr && directory[0] != '\0' ? directory : "/tmp") +
         "/orvellib-check-XXXXXX";
  const int descriptor = mkstemp(&path[0]);
  if (descriptor == -1) return nullptr;
  std::FILE* file = fdopen(descriptor, "wb");
  if (file == nullptr) close(descriptor);
  return file;
#endif
}

// Writes a file of known lines, reads it back through ReadFromFile and releases the result as
// its rule says; what went wrong, or "" when the content came back whole.
std::string CheckReader(std::size_t& size) {
  std::string expected;
  for (int line = 1; line <= 2000; ++line) {
    expected += "orvellib-check reads this file back, line " + std::to_string(line) + "\n";
  }
  size = expected.size();
  std::string path;
  std::FILE* file = CreateTemporaryFile(path);
  if (file == nullptr) return "could not create a temporary file";
  const bool written = std::fwrite(expected.data(), 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) {
    std::remove(path.c_str());
    return "could not write the temporary file " + path;
  }
  const char* text = OrvelUtils::OrvelFileManager::ReadFromFile(path.c_str());
  std::remove(path.c_str());
  if (text[0] == '\0') return "ReadFromFile gave an empty string for " + path;
  const std::size_t length = std::strlen(text);
  const bool same = length == size && std::memcmp(text, expected.data(), size) == 0;
  delete[] text;
  if (!same) {
    return "ReadFromFile gave " + std::to_string(length) + " bytes of other content than the " +
           std::to_string(size) + " written";
  }
  return "";
}

// Everything the program found, for either printer.
struct Report {
  LibraryPath path;
  std::vector<StateResult> states;
  std::size_t readerBytes = 0;
  std::string readerProblem;        // "" when the reader works
  std::vector<std::string> failed;  // the states, and "file reader", that failed
};

Report CheckEverything() {
  Report report;
  report.path = LibraryPathHere();
  report.states = RunInEveryState();
  report.readerProblem = CheckReader(report.readerBytes);
  for (const StateResult& state : report.states) {
    if (state.outcome == Outcome::kFail) report.failed.push_back(state.name);
  }
  if (!report.readerProblem.empty()) report.failed.push_back("file reader");
  return report;
}

std::string Version() {
  return ORVEL_CHECK_NUMBER(ORVELLIB_VERSION_MAJOR) "." ORVEL_CHECK_NUMBER(
      ORVELLIB_VERSION_MINOR) "." ORVEL_CHECK_NUMBER(ORVELLIB_VERSION_PATCH);
}

// A JSON string: quotes and backslashes (Windows paths) escaped, control characters dropped.
std::string Json(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (static_cast<unsigned char>(c) >= 0x20) quoted += c;
  }
  return quoted + "\"";
}

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string joined;
  for (const std::string& item : items) joined += (joined.empty() ? "" : separator) + item;
  return joined;
}

void PrintText(const Report& report) {
  std::vector<std::string> features;
  for (const auto& feature : report.path.features) {
    features.push_back(std::string(feature.first) + (feature.second ? " yes" : " no"));
  }
  const std::string featureText =
      features.empty()
          ? "none that the library asks for on this target"
          : Join(features, ", ") + " (as " + report.path.featureSource + " reports them)";
  std::printf("orvellib-check, built with OrvelLib %s\n", Version().c_str());
  std::printf("platform:           %s\n", Platform().c_str());
  std::printf("built by:           %s\n", kCompiler);
  std::printf("library file:       %s\n", LibraryFile().c_str());
  std::printf("CPU features:       %s\n", featureText.c_str());
  std::printf("environment guard:  %s\n", report.path.guard);
  std::printf("matrix kernels:     %s\n", report.path.kernels);
  std::printf("host states, each against the golden digest %s:\n",
              Hex(OrvelTest::kGoldenDigest).c_str());
  for (const StateResult& state : report.states) {
    const bool ran = state.outcome != Outcome::kSkipped;
    std::printf("  %-24s %-18s  %s%s%s\n", state.name.c_str(), ran ? Hex(state.digest).c_str() : "",
                kOutcomeNames[static_cast<int>(state.outcome)], state.note.empty() ? "" : ": ",
                state.note.c_str());
  }
  if (report.readerProblem.empty()) {
    std::printf("file reader:        pass (%s bytes read back through ReadFromFile)\n",
                std::to_string(report.readerBytes).c_str());
  } else {
    std::printf("file reader:        FAIL: %s\n", report.readerProblem.c_str());
  }
  if (report.failed.empty()) {
    std::printf(
        "result:             pass: every state gives the golden digest, the reader works\n");
  } else {
    std::printf("result:             FAIL in %s\n", Join(report.failed, "; ").c_str());
  }
}

// The same as one JSON object, one member a line.
void PrintJson(const Report& report) {
  std::string features = "{\"source\": " + Json(report.path.featureSource);
  for (const auto& feature : report.path.features) {
    features += ", " + Json(feature.first) + (feature.second ? ": true" : ": false");
  }
  std::printf("{\n  \"program\": \"orvellib-check\",\n  \"orvellib_version\": %s,\n",
              Json(Version()).c_str());
  std::printf("  \"platform\": %s,\n  \"built_by\": %s,\n  \"library_file\": %s,\n",
              Json(Platform()).c_str(), Json(kCompiler).c_str(), Json(LibraryFile()).c_str());
  std::printf("  \"cpu_features\": %s},\n", features.c_str());
  std::printf("  \"environment_guard\": %s,\n  \"matrix_kernels\": %s,\n",
              Json(report.path.guard).c_str(), Json(report.path.kernels).c_str());
  std::printf("  \"golden_digest\": %s,\n  \"states\": [\n",
              Json(Hex(OrvelTest::kGoldenDigest)).c_str());
  const char* const outcomes[] = {"pass", "fail", "skipped"};
  for (std::size_t i = 0; i < report.states.size(); ++i) {
    const StateResult& state = report.states[i];
    std::string member = "{\"name\": " + Json(state.name) + ", \"result\": \"" +
                         outcomes[static_cast<int>(state.outcome)] + "\"";
    if (state.outcome != Outcome::kSkipped) member += ", \"digest\": " + Json(Hex(state.digest));
    if (!state.note.empty()) member += ", \"note\": " + Json(state.note);
    std::printf("    %s}%s\n", member.c_str(), i + 1 < report.states.size() ? "," : "");
  }
  std::string reader = std::string("{\"result\": \"") +
                       (report.readerProblem.empty() ? "pass" : "fail") +
                       "\", \"bytes\": " + std::to_string(report.readerBytes);
  if (!report.readerProblem.empty()) reader += ", \"note\": " + Json(report.readerProblem);
  std::vector<std::string> failed;
  for (const std::string& name : report.failed) failed.push_back(Json(name));
  std::printf("  ],\n  \"file_reader\": %s},\n", reader.c_str());
  std::printf("  \"result\": \"%s\",\n  \"failed\": [%s]\n}\n",
              report.failed.empty() ? "pass" : "fail", Join(failed, ", ").c_str());
}

const char kUsage[] = "usage: orvellib-check [--json]\n";
const char kHelp[] =
    "Runs OrvelLib's golden workload in every floating-point state a host can set and reads a\n"
    "file back through ReadFromFile; exit status 0 if all is as promised, else 1. --json: JSON.\n";

}  // namespace

int main(int argc, char** argv) {
  const bool json = argc == 2 && std::strcmp(argv[1], "--json") == 0;
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s%s", kUsage, kHelp);
    return 0;
  }
  if (argc > 2 || (argc == 2 && !json)) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  const Report report = CheckEverything();
  if (json) {
    PrintJson(report);
  } else {
    PrintText(report);
  }
  return report.failed.empty() ? 0 : 1;
}
