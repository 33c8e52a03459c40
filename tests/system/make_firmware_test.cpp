// make-firmware refuses arguments that would give a bad image, and writes
// nothing then.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/app/firmware_files.h"

namespace pelox {
namespace {

constexpr int EXIT_USAGE = 2;

struct BadArguments {
  const char* name;
  const char* arguments;
  const char* said;  // part of the message on standard error
};

class MakeFirmwareRefusal : public testing::TestWithParam<BadArguments> {
 protected:
  test::ScratchDirectory scratch_;
};

TEST_P(MakeFirmwareRefusal, SaysWhyExitsWithTwoAndWritesNoImage) {
  const BadArguments& bad = GetParam();
  const std::string command = std::string(MAKE_FIRMWARE_PATH) + " " + bad.arguments + " 2>&1";
  FILE* output = popen(command.c_str(), "r");
  ASSERT_NE(output, nullptr);
  std::string said;
  std::array<char, 256> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), output) != nullptr) said += chunk.data();
  const int status = pclose(output);
  ASSERT_TRUE(WIFEXITED(status)) << said;
  EXPECT_EQ(WEXITSTATUS(status), EXIT_USAGE) << said;
  EXPECT_NE(said.find(bad.said), std::string::npos) << said;
  EXPECT_FALSE(std::filesystem::exists(scratch_.Path() / "Firmware.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Each, MakeFirmwareRefusal,
    testing::Values(
        BadArguments{"NegativeSize", "--version v517-1.10 --payload-size -1",
                     "--payload-size wants a number of bytes from 0 to 2097056, not \"-1\""},
        BadArguments{"HugeSize", "--version v517-1.10 --payload-size 1000000000000",
                     "not \"1000000000000\""},
        BadArguments{"SizeNotANumber", "--version v517-1.10 --payload-size abc", "not \"abc\""},
        BadArguments{"VersionPastTheHeader",
                     "--version v517-1.10-with-a-long-build-tag-that-no-header-holds-any-more",
                     "is too long: the header would pass its 96 bytes"}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

}  // namespace
}  // namespace pelox
