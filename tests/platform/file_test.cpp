#include "platform/file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/byte_pattern.h"

namespace pelox {
namespace {

namespace fs = std::filesystem;

class FileTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(testing::TempDir()) /
              (std::string("pelox_file_") +
               testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string MakeFile(const char* name, const std::vector<uint8_t>& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  fs::path folder_;
};

TEST_F(FileTest, OpeningAMissingFileFailsWithTheSystemError) {
  uint32_t error = 0;
  EXPECT_EQ(FileOpenRead((folder_ / "Firmware.bin").string().c_str(), error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(ENOENT));
}

TEST_F(FileTest, AFileHeldOpenIsSharedWithOtherReadersExceptOnWindows) {
  const std::string path = MakeFile("held.bin", {1, 2, 3});
  uint32_t error = 0;
  FileHandle first = FileOpenRead(path.c_str(), error);
  ASSERT_NE(first, nullptr);

#ifdef _WIN32
  EXPECT_EQ(FileOpenRead(path.c_str(), error), nullptr);
#else
  FileHandle second = FileOpenRead(path.c_str(), error);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(FileClose(second));
#endif

  ASSERT_TRUE(FileClose(first));
  FileHandle again = FileOpenRead(path.c_str(), error);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(FileClose(again));
}

TEST_F(FileTest, OnlyARegularFileOpensForReadingAndNothingWaits) {
  const std::vector<uint8_t> bytes = test::Pattern(70000);
  const std::string path = MakeFile("image.bin", bytes);
  uint32_t error = 0;
  FileHandle file = FileOpenRead(path.c_str(), error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(FileSize(file), static_cast<int64_t>(bytes.size()));
  EXPECT_TRUE(FileClose(file));

  std::vector<std::string> others{(folder_ / "folder").string()};
  fs::create_directory(others.back());
#ifndef _WIN32
  // A FIFO with no writer would hold a blocking open for ever.
  others.push_back((folder_ / "fifo").string());
  ASSERT_EQ(mkfifo(others.back().c_str(), 0600), 0);
#endif
  for (const std::string& other : others) {
    EXPECT_EQ(FileOpenRead(other.c_str(), error), nullptr) << other;
  }
#ifndef _WIN32
  // The cause, for a directory; a FIFO is no regular file.
  EXPECT_EQ(error, static_cast<uint32_t>(EINVAL));
  EXPECT_EQ(FileOpenRead(others.front().c_str(), error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(EISDIR));
#endif
}

TEST_F(FileTest, AWrittenFileReadsBackAfterARewindAndCreatingTruncates) {
  const std::string path = MakeFile("object.jpg", std::vector<uint8_t>(500, 0xEE));
  uint32_t error = 0;
  FileHandle out = FileCreate(path.c_str(), error);
  ASSERT_NE(out, nullptr);
  const std::vector<uint8_t> first = {9, 8, 7, 6};
  const std::vector<uint8_t> second = {1, 2};
  EXPECT_EQ(FileWrite(out, first), 4);
  // A restarted read writes the object again from its first byte.
  ASSERT_TRUE(FileRewind(out));
  EXPECT_EQ(FileWrite(out, second), 2);
  EXPECT_EQ(FileSize(out), 4);
  ASSERT_TRUE(FileClose(out));

  FileHandle in = FileOpenRead(path.c_str(), error);
  ASSERT_NE(in, nullptr);
  std::vector<uint8_t> back(16);
  EXPECT_EQ(FileRead(in, back), 4);
  EXPECT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + 4),
            (std::vector<uint8_t>{1, 2, 7, 6}));
  EXPECT_EQ(FileRead(in, back), 0);
  EXPECT_TRUE(FileClose(in));
}

TEST_F(FileTest, TheCurrentDirectoryIsTheProcessOne) {
  EXPECT_EQ(fs::path(FileCurrentDirectory()), fs::current_path());
  EXPECT_EQ(FilePathSeparator(), static_cast<char>(fs::path::preferred_separator));
}

TEST(FileHandles, NullHandlesFailWithoutTouchingMemory) {
  std::vector<uint8_t> buffer(4);
  EXPECT_EQ(FileSize(nullptr), -1);
  EXPECT_EQ(FileRead(nullptr, buffer), -1);
  EXPECT_EQ(FileWrite(nullptr, buffer), -1);
  EXPECT_FALSE(FileRewind(nullptr));
  EXPECT_FALSE(FileClose(nullptr));
}

}  // namespace
}  // namespace pelox
