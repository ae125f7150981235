// ReadFromFile where text mode alters what is read (Windows): "\r\n" arrives as "\n" and a Ctrl-Z
// byte ends the text, while the buffer keeps its file-size + 1 bytes, all 0 after the text.

#include <utils/FileManager.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#ifdef _WIN32
namespace {

class TextMode : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }

  // Reads `bytes`, written in binary, back through ReadFromFile and checks every byte of the
  // buffer: the `text` expected, then zeros up to and including the last one.
  void ExpectReadAs(const std::string& bytes, const std::string& text) {
    path_ = ::testing::TempDir() + "OrvelTextMode_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path_;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);

    const char* buffer = OrvelUtils::OrvelFileManager::ReadFromFile(path_.c_str());
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
      EXPECT_EQ(buffer[i], i < text.size() ? text[i] : '\0') << "byte " << i;
    }
    delete[] buffer;
  }

 private:
  std::string path_;
};

TEST_F(TextMode, CrLfBecomesLfAndTheTailIsZero) {
  ExpectReadAs("first\r\nsecond\r\n\r\nlast line\r\n", "first\nsecond\n\nlast line\n");
}

TEST_F(TextMode, CtrlZEndsTheText) {
  ExpectReadAs(std::string("before\r\n\x1A") + "after\r\n", "before\n");
}

}  // namespace
#endif  // _WIN32
