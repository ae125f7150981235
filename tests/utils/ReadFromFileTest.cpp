// ReadFromFile on regular files (exact bytes, the zeroed tail, the message for what can't be
// opened) and on everything that isn't a plain file: streams of unknown size, directories, a
// null path, files that change between calls, many threads, allocation failure.

#include <utils/FileManager.h>

#include "Valgrind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <new>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef __linux__
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#endif
#if defined(__linux__) && defined(__x86_64__)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <ucontext.h>
#endif

namespace {

namespace fs = std::filesystem;
using OrvelUtils::OrvelFileManager::ReadFromFile;

#ifdef __EMSCRIPTEN__
// Captures std::cout for as long as it lives. Descriptors can't be redirected here: under
// NODERAWFS a dup()ed descriptor shares its Node.js descriptor with the original, and closing
// either closes both, stdout included. The library is static on this target and shares this
// program's std::cout.
class StdoutCapture {
 public:
  StdoutCapture() : saved_(std::cout.rdbuf(captured_.rdbuf())) {}
  ~StdoutCapture() { std::cout.rdbuf(saved_); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Text() const { return captured_.str(); }

 private:
  std::ostringstream captured_;
  std::streambuf* saved_;
};
#else
// Captures standard output at its file descriptor, into a temporary file, for as long as it
// lives. That sees the library's std::cout even where the library carries its own copy of the C++
// runtime (a statically linked Windows DLL); line ends come back as "\n" on every platform.
class StdoutCapture {
 public:
  StdoutCapture()
      : path_(fs::temp_directory_path() /
              ("orvel-stdout-" + std::to_string(std::random_device{}()))),
        file_(std::fopen(path_.string().c_str(), "w+b")) {
    if (file_ == nullptr) throw std::runtime_error("cannot create " + path_.string());
    Flush();
    saved_ = dup(fileno(stdout));
    dup2(fileno(file_), fileno(stdout));
  }
  ~StdoutCapture() {
    Restore();
    std::fclose(file_);
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Text() {
    Restore();
    std::rewind(file_);
    std::string text;
    char chunk[512];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) text.append(chunk, n);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
  }

 private:
  static void Flush() {
    std::cout.flush();
    std::fflush(nullptr);
  }
  // Standard output goes where it went before; the capture keeps what it has.
  void Restore() {
    if (saved_ < 0) return;
    Flush();
    dup2(saved_, fileno(stdout));
    close(saved_);
    saved_ = -1;
  }

  fs::path path_;
  std::FILE* file_;
  int saved_ = -1;
};
#endif

// Bytes that are neither 0 (so the content is also a C string) nor altered by any platform's
// text mode (carriage return, Ctrl-Z).
std::string RandomText(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string text(size, '\0');
  for (char& c : text) {
    c = static_cast<char>(1 + random() % 255);
    if (c == '\r' || c == '\032') c = ' ';
  }
  return text;
}

// True when `buffer` holds `bytes` followed by zeros up to index `bufferSize - 1`.
::testing::AssertionResult HoldsThenZeros(const char* buffer, const std::string& bytes,
                                          std::size_t bufferSize) {
  if (std::memcmp(buffer, bytes.data(), bytes.size()) != 0)
    return ::testing::AssertionFailure()
           << "content differs from the " << bytes.size() << " expected bytes";
  for (std::size_t i = bytes.size(); i < bufferSize; ++i)
    if (buffer[i] != '\0') return ::testing::AssertionFailure() << "byte " << i << " is not 0";
  return ::testing::AssertionSuccess();
}

// Runs `check` in a child process, so that a crash or a heap overflow fails this test alone.
// Where GoogleTest has no death tests (WebAssembly has no processes), it runs in this one.
template <typename Check>
void ExpectInChild(Check check) {
#if GTEST_HAS_DEATH_TEST
  EXPECT_EXIT(
      {
        check();
        std::exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
#else
  check();
#endif
}

class ReadFromFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = fs::temp_directory_path() /
           ("orvel-" + name + "-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& bytes) const {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // The static string every failed open returns.
  const char* FailureResult() const {
    StdoutCapture quiet;
    return ReadFromFile((dir_ / "no such file").string().c_str());
  }

  fs::path dir_;
};

using ReadFromFileDeathTest = ReadFromFileTest;

TEST_F(ReadFromFileTest, MissingFileIsReportedOnStdoutWithTheStaticEmptyString) {
  const std::string missing = (dir_ / "missing.txt").string();
  StdoutCapture output;
  const char* first = ReadFromFile(missing.c_str());
  const char* second = ReadFromFile(missing.c_str());
  EXPECT_EQ(output.Text(),
            "Couldnt read file at: " + missing + "\nCouldnt read file at: " + missing + "\n");
  EXPECT_STREQ(first, "");
  EXPECT_EQ(first, second) << "a failed open returns one static string";
}

TEST_F(ReadFromFileTest, KnownAnswers) {
  StdoutCapture output;
  const char* abc = ReadFromFile(Write("abc", "abc").c_str());
  EXPECT_TRUE(HoldsThenZeros(abc, "abc", 4));
  delete[] abc;

  // The bytes are not examined: a 0 only ends the string for C-string readers.
  const std::string withNul("ab\0cd", 5);
  const char* nul = ReadFromFile(Write("embedded-zero", withNul).c_str());
  EXPECT_TRUE(HoldsThenZeros(nul, withNul, 6));
  delete[] nul;

  // Text mode: Windows translates line endings, ends the text at a Ctrl-Z, and the buffer is
  // zeroed after the shorter text.
  const std::string dosText = "a\r\nb\r\n\032c";  // \032 is Ctrl-Z
  const char* crlf = ReadFromFile(Write("crlf", dosText).c_str());
#ifdef _WIN32
  EXPECT_TRUE(HoldsThenZeros(crlf, "a\nb\n", 9));
#else
  EXPECT_TRUE(HoldsThenZeros(crlf, dosText, 9));
#endif
  delete[] crlf;
  EXPECT_EQ(output.Text(), "");
}

// Callers never release an empty result, so an empty text must not be a heap buffer: it is the
// static empty string, and unlike a failed open it prints nothing.
TEST_F(ReadFromFileTest, EmptyTextIsTheStaticEmptyStringWithoutAMessage) {
  const char* failure = FailureResult();
  StdoutCapture output;
  EXPECT_EQ(ReadFromFile(Write("empty", "").c_str()), failure);
  EXPECT_EQ(ReadFromFile(Write("leading-zero", std::string("\0abc", 4)).c_str()), failure);
  EXPECT_EQ(output.Text(), "");
}

TEST_F(ReadFromFileTest, MegabytesOfRandomTextRoundTrip) {
  const std::string content = RandomText((3 << 20) + 123, 7);
  const char* text = ReadFromFile(Write("random", content).c_str());
  EXPECT_TRUE(HoldsThenZeros(text, content, content.size() + 1));
  delete[] text;
}

TEST_F(ReadFromFileTest, RelativePathResolvesAgainstTheCurrentDirectory) {
  Write("relative.txt", "here");
  const fs::path saved = fs::current_path();
  fs::current_path(dir_);
  const char* text = ReadFromFile("relative.txt");
  fs::current_path(saved);
  EXPECT_STREQ(text, "here");
  if (text[0] != '\0') delete[] text;
}

TEST_F(ReadFromFileTest, FileThatShrinksOrVanishesBetweenCalls) {
  const std::string path = Write("changing", RandomText(10000, 1));
  delete[] ReadFromFile(path.c_str());
  Write("changing", "xyz");
  const char* shrunk = ReadFromFile(path.c_str());
  EXPECT_TRUE(HoldsThenZeros(shrunk, "xyz", 4));
  delete[] shrunk;

  fs::remove(path);
  StdoutCapture output;
  EXPECT_STREQ(ReadFromFile(path.c_str()), "");
  EXPECT_EQ(output.Text(), "Couldnt read file at: " + path + "\n");
}

TEST_F(ReadFromFileTest, EightThreadsReadDifferentFilesAtOnce) {
  std::vector<std::string> contents, paths;
  for (unsigned i = 0; i < 8; ++i) {
    contents.push_back(RandomText(1000 + 37000 * i, i));
    paths.push_back(Write("thread" + std::to_string(i), contents.back()));
  }
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 25; ++round) {
        const char* text = ReadFromFile(paths[i].c_str());
        if (text != contents[i]) ++wrong;
        if (text[0] != '\0') delete[] text;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

// The literal algorithm takes a directory's end position (LLONG_MAX on ext4) as its size.
TEST_F(ReadFromFileDeathTest, DirectoryIsReportedLikeAFileThatCantBeOpened) {
  const std::string path = dir_.string();
  const char* failure = FailureResult();
  ExpectInChild([&] {
    StdoutCapture output;
    EXPECT_EQ(ReadFromFile(path.c_str()), failure);
    EXPECT_EQ(output.Text(), "Couldnt read file at: " + path + "\n");
  });
}

TEST_F(ReadFromFileDeathTest, NullPathIsReportedAndLeavesStdoutUsable) {
  const char* failure = FailureResult();
  ExpectInChild([&] {
    {
      StdoutCapture output;
      EXPECT_EQ(ReadFromFile(nullptr), failure);
      EXPECT_EQ(output.Text(), "Couldnt read file at: (null)\n");
    }
    EXPECT_TRUE(std::cout.good());
  });
}

#ifdef __linux__

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::ptrdiff_t OpenDescriptors() {
  return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
}

// Streams have no end position; the literal algorithm would read an unbounded count into a
// one-byte buffer. These run in a child process, with a writer thread on the other end.
TEST_F(ReadFromFileDeathTest, FifoIsReadToItsEnd) {
  const std::string path = (dir_ / "fifo").string();
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  const std::string content = RandomText(300000, 3);  // several times the pipe's capacity
  ExpectInChild([&] {
    std::thread writer([&] {
      const int fd = open(path.c_str(), O_WRONLY);
      EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
      close(fd);
    });
    const char* text = ReadFromFile(path.c_str());
    writer.join();
    EXPECT_TRUE(HoldsThenZeros(text, content, content.size() + 1));
    delete[] text;
  });
}

TEST_F(ReadFromFileDeathTest, StdinFedByAPipeIsReadToItsEnd) {
  const std::string content = RandomText((1 << 20) + 5, 4);
  ExpectInChild([&] {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(dup2(ends[0], STDIN_FILENO), STDIN_FILENO);
    close(ends[0]);
    std::thread writer([&] {
      EXPECT_EQ(write(ends[1], content.data(), content.size()),
                static_cast<ssize_t>(content.size()));
      close(ends[1]);
    });
    const char* text = ReadFromFile("/dev/stdin");
    close(STDIN_FILENO);  // a reader that stopped early must not leave the writer blocked
    writer.join();
    EXPECT_TRUE(HoldsThenZeros(text, content, content.size() + 1));
    delete[] text;
  });
}

// The control experiment for the test below: whether threads still join after signals have
// interrupted a thread blocked in read(). qemu-i386, which runs the 32-bit x86 tests on kernels
// that can't, loses a thread's identity then, and pthread_join fails.
bool ThreadsJoinAfterSignalsInterruptARead() {
  struct sigaction action = {}, previous = {};
  action.sa_handler = [](int) {};
  sigemptyset(&action.sa_mask);
  int ends[2];
  if (sigaction(SIGUSR1, &action, &previous) != 0 || pipe(ends) != 0) return false;
  struct Shared {
    pthread_t reader = pthread_self();
    int writeEnd;
    std::atomic<bool> reading{true};
  } shared;
  shared.writeEnd = ends[1];
  pthread_t interrupter;
  const auto interrupt = [](void* arg) -> void* {
    auto& shared = *static_cast<Shared*>(arg);
    for (int i = 0; i < 20; ++i) {
      pthread_kill(shared.reader, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    (void)!write(shared.writeEnd, "x", 1);
    return nullptr;
  };
  bool joined = false;
  if (pthread_create(&interrupter, nullptr, interrupt, &shared) == 0) {
    char byte;
    while (read(ends[0], &byte, 1) < 0 && errno == EINTR) {
    }
    joined = pthread_join(interrupter, nullptr) == 0;
  }
  close(ends[0]);
  close(ends[1]);
  sigaction(SIGUSR1, &previous, nullptr);
  return joined;
}

// A handler installed without SA_RESTART makes a blocked open() or read() fail with EINTR, and the
// reader must go on where it stopped. SIGUSR1 hits the reading thread every 200 us while the
// writer first keeps it waiting in open(), then feeds the FIFO in bursts it has to wait for.
TEST_F(ReadFromFileDeathTest, FifoComesBackWholeWhileSignalsInterruptTheReader) {
  if (!ThreadsJoinAfterSignalsInterruptARead())
    GTEST_SKIP() << "this platform loses a thread's identity when a signal interrupts it "
                    "(qemu-i386?)";
  const std::string path = (dir_ / "fifo").string();
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  constexpr std::size_t kBurst = 4096;
  const std::string content = RandomText(40 * kBurst, 5);
  ExpectInChild([&] {
    static std::atomic<int> interruptions{0};
    struct sigaction action = {};
    action.sa_handler = [](int) { ++interruptions; };
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &action, nullptr), 0);
    std::signal(SIGPIPE, SIG_IGN);  // a reader that gave up early fails the checks, not the child
    const pthread_t reader = pthread_self();
    std::atomic<bool> reading{true}, written{false};
    std::thread interrupter([&] {
      while (reading) {
        pthread_kill(reader, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    std::thread writer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const int fd = open(path.c_str(), O_WRONLY);
      for (std::size_t at = 0; at < content.size(); at += kBurst) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (write(fd, content.data() + at, kBurst) < 0) break;
      }
      close(fd);
      written = true;
    });
    const char* text = ReadFromFile(path.c_str());
    reading = false;
    interrupter.join();
    // A reader that gave up early must not leave the writer waiting in open() for ever.
    while (!written) close(open(path.c_str(), O_RDONLY | O_NONBLOCK));
    writer.join();
    EXPECT_GT(interruptions.load(), 0);
    EXPECT_EQ(std::strlen(text), content.size()) << "bytes that came back";
    EXPECT_TRUE(text == content);
    if (text[0] != '\0') delete[] text;
  });
}

#ifdef __x86_64__
// A regular file on a local disk is never interrupted, so the interruption is forced: a seccomp
// filter traps read() on the file's descriptor. That is the system call stdio makes from inside
// the C library, which a preloaded wrapper can't replace. The SIGSYS handler fails the first
// read with EINTR and makes the later ones itself through readv(), which the filter lets by.
namespace trapped_read {

std::atomic<int> traps{0};

void OnTrappedRead(int, siginfo_t*, void* context) {
  greg_t* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
  const int savedErrno = errno;
  long result = -EINTR;
  if (traps++ > 0) {
    iovec chunk{reinterpret_cast<void*>(registers[REG_RSI]),
                static_cast<std::size_t>(registers[REG_RDX])};
    result = syscall(SYS_readv, registers[REG_RDI], &chunk, 1);
    if (result < 0) result = -errno;
  }
  registers[REG_RAX] = result;  // what the trapped read() returns
  errno = savedErrno;
}

// From now on, in this process, read() on descriptor `fd` raises SIGSYS instead.
bool TrapReadsOf(int fd) {
  sock_filter program[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_read, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args)),  // low half of args[0]
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(fd), 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

}  // namespace trapped_read

TEST_F(ReadFromFileDeathTest, KnownSizeReadGoesOnAfterAnInterruption) {
  if (OrvelTest::UnderValgrind()) GTEST_SKIP() << "valgrind makes system calls past the filter";
  const std::string content = RandomText(100000, 6);
  const std::string path = Write("interrupted", content);
  ExpectInChild([&] {
    struct sigaction action = {};
    action.sa_sigaction = trapped_read::OnTrappedRead;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGSYS, &action, nullptr), 0);
    // fopen() will get the lowest free descriptor.
    const int next = open("/dev/null", O_RDONLY);
    close(next);
    ASSERT_TRUE(trapped_read::TrapReadsOf(next)) << std::strerror(errno);
    const char* text = ReadFromFile(path.c_str());
    EXPECT_GE(trapped_read::traps.load(), 2) << "reads of the file that were trapped";
    EXPECT_TRUE(text == content);
    if (text[0] != '\0') delete[] text;
  });
}
#endif  // __x86_64__

// /proc/self/mem opens, but its first read fails with EIO (nothing is mapped at address 0). A read
// error must not pass for an empty file.
TEST_F(ReadFromFileTest, ReadErrorIsReportedLikeAFileThatCantBeOpened) {
  const char* failure = FailureResult();
  StdoutCapture output;
  EXPECT_EQ(ReadFromFile("/proc/self/mem"), failure);
  EXPECT_EQ(output.Text(), "Couldnt read file at: /proc/self/mem\n");
}

// /proc files report a size of 0 or none at all, yet have content.
TEST_F(ReadFromFileDeathTest, ProcFileIsReadDespiteItsSizeOfZero) {
  ExpectInChild([] {
    const char* status = ReadFromFile("/proc/self/status");
    const std::string text = status;
    EXPECT_EQ(text.rfind("Name:", 0), 0u) << text;
    EXPECT_NE(text.find("\nPid:\t" + std::to_string(getpid()) + "\n"), std::string::npos);
    delete[] status;
  });
}

// Sparse files whose buffer can't be allocated: new[] fails, and the error must reach the caller
// with the file closed. 2^60 bytes exceed any address space. A 32-bit process also gets no block
// of 2 GiB from glibc, and a size of SIZE_MAX is where size + 1 would wrap around to 0.
// Sanitizers and valgrind abort on such a request instead of throwing, so the check is skipped
// under them.
TEST_F(ReadFromFileTest, AllocationFailurePropagatesWithTheFileClosed) {
  if (kSanitized || OrvelTest::UnderValgrind())
    GTEST_SKIP() << "the allocator under test aborts instead of throwing";
  std::vector<std::uintmax_t> sizes{std::uintmax_t{1} << 60};
  if (sizeof(std::size_t) < sizeof(std::uintmax_t))
    sizes.insert(sizes.end(), {std::uintmax_t{1} << 31, std::numeric_limits<std::size_t>::max()});
  const fs::path path = fs::path("/dev/shm") / dir_.filename();
  { std::ofstream create(path); }
  const std::ptrdiff_t before = OpenDescriptors();
  for (const std::uintmax_t size : sizes) {
    std::error_code error;
    fs::resize_file(path, size, error);
    if (error) {
      fs::remove(path);
      GTEST_SKIP() << "no file system here holds a sparse file of " << size << " bytes";
    }
    EXPECT_THROW(ReadFromFile(path.string().c_str()), std::bad_alloc) << size << " bytes";
  }
  EXPECT_EQ(OpenDescriptors(), before);
  fs::remove(path);
}

TEST_F(ReadFromFileTest, NoFileDescriptorStaysOpen) {
  const std::string regular = Write("regular", "text");
  const std::string empty = Write("empty", "");
  StdoutCapture quiet;  // before counting: the capture holds descriptors of its own
  const std::ptrdiff_t before = OpenDescriptors();
  for (const std::string& path : {regular, empty, std::string("/proc/self/status")}) {
    const char* text = ReadFromFile(path.c_str());
    if (text[0] != '\0') delete[] text;
  }
  ReadFromFile(dir_.string().c_str());
  ReadFromFile((dir_ / "missing").string().c_str());
  ReadFromFile("/proc/self/mem");
  EXPECT_EQ(OpenDescriptors(), before);
}

#endif  // __linux__

}  // namespace
