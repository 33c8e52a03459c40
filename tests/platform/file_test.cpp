#include "platform/file.h"

#include <gtest/gtest.h>

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

TEST_F(FileTest, AFileHeldOpenCannotBeOpenedAgainUntilItIsClosed) {
  const std::string path = MakeFile("held.bin", {1, 2, 3});
  uint32_t error = 0;
  FileHandle first = FileOpenRead(path.c_str(), error);
  ASSERT_NE(first, nullptr);

  EXPECT_EQ(FileOpenRead(path.c_str(), error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(EWOULDBLOCK));

  ASSERT_TRUE(FileClose(first));
  FileHandle again = FileOpenRead(path.c_str(), error);
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(FileClose(again));
}

TEST_F(FileTest, AMappedViewShowsTheWholeFile) {
  const std::vector<uint8_t> bytes = test::Pattern(70000);
  const std::string path = MakeFile("image.bin", bytes);
  uint32_t error = 0;
  FileHandle file = FileOpenRead(path.c_str(), error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(FileSize(file), static_cast<int64_t>(bytes.size()));

  FileView view;
  ASSERT_TRUE(FileMapReadOnly(file, view, error));
  ASSERT_EQ(view.size, bytes.size());
  EXPECT_EQ(std::vector<uint8_t>(view.data, view.data + view.size), bytes);

  FileUnmap(view);
  EXPECT_EQ(view.data, nullptr);
  EXPECT_EQ(view.size, 0u);
  EXPECT_TRUE(FileClose(file));
}

TEST_F(FileTest, AnEmptyFileMapsToAnEmptyView) {
  const std::string path = MakeFile("empty.bin", {});
  uint32_t error = 0;
  FileHandle file = FileOpenRead(path.c_str(), error);
  ASSERT_NE(file, nullptr);
  FileView view{reinterpret_cast<const uint8_t*>(&error), 99, nullptr};
  ASSERT_TRUE(FileMapReadOnly(file, view, error));
  EXPECT_EQ(view.data, nullptr);
  EXPECT_EQ(view.size, 0u);
  FileUnmap(view);
  EXPECT_TRUE(FileClose(file));
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
  FileView view;
  uint32_t error = 0;
  EXPECT_EQ(FileSize(nullptr), -1);
  EXPECT_EQ(FileRead(nullptr, buffer), -1);
  EXPECT_EQ(FileWrite(nullptr, buffer), -1);
  EXPECT_FALSE(FileRewind(nullptr));
  EXPECT_FALSE(FileClose(nullptr));
  EXPECT_FALSE(FileMapReadOnly(nullptr, view, error));
}

}  // namespace
}  // namespace pelox
