#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/firmware_image.h"

namespace pelox {
namespace {

// A header of the keys in `keys`, padded with zeros to 96 bytes, then the
// payload.
std::vector<uint8_t> Image(const std::string& keys, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> image(FIRMWARE_HEADER_SIZE, 0);
  std::memcpy(image.data(), keys.data(), std::min(keys.size(), image.size()));
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

const std::vector<uint8_t> ABC = {'a', 'b', 'c'};

int32_t Check(const std::vector<uint8_t>& image) {
  VersionText version{};
  return FirmwareHeaderCheck(image, version);
}

TEST(FirmwareHeader, AcceptsTheThreeByteAbcImageAndKeepsItsVersion) {
  VersionText version{};
  const auto image = Image("LENGTH=3 VER=v517-1.10 SUM=294\r", ABC);
  ASSERT_EQ(image.size(), 99u);
  EXPECT_EQ(FirmwareHeaderCheck(image, version), STEP_OK);
  EXPECT_STREQ(version.data(), "v517-1.10");
}

TEST(FirmwareHeader, RefusesAWrongSumAndAnyOtherFileSize) {
  EXPECT_EQ(Check(Image("LENGTH=3 VER=v517-1.10 SUM=295\r", ABC)), STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=3 VER=v517-1.10 SUM=294\r", {'a', 'b', 'c', 0})),
            STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=3 VER=v517-1.10 SUM=195\r", {'a', 'b'})),
            STEP_ERROR_INVALID_PARAMETER);
}

TEST(FirmwareHeader, TakesTheKeysInAnyOrderButOnlyInUpperCase) {
  EXPECT_EQ(Check(Image("SUM=294\r VER=v517-1.10 LENGTH=3 ", ABC)), STEP_OK);
  EXPECT_EQ(Check(Image("length=3 VER=v517-1.10 SUM=294\r", ABC)), STEP_ERROR_INVALID_PARAMETER);
}

TEST(FirmwareHeader, ComparesTheSumModulo2To32) {
  // 16,843,010 bytes of 0xFF sum to 2^32 + 254.
  const std::vector<uint8_t> payload(16843010, 0xFF);
  EXPECT_EQ(Check(Image("LENGTH=16843010 VER=v1 SUM=254\r", payload)), STEP_OK);
  EXPECT_EQ(Check(Image("LENGTH=16843010 VER=v1 SUM=4294967550\r", payload)),
            STEP_ERROR_INVALID_PARAMETER);
}

TEST(FirmwareHeader, RefusesMalformedHeadersWithoutReadingPastTheImage) {
  const std::string full = "LENGTH=3 VER=v517-1.10 SUM=294\r";
  EXPECT_EQ(Check(Image("VER=v517-1.10 SUM=294\r", ABC)), STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=3 SUM=294\r", ABC)), STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=3 VER=v517-1.10 ", ABC)), STEP_ERROR_INVALID_PARAMETER);
  // Terminators missing: the value runs into the zero padding.
  EXPECT_EQ(Check(Image("VER=v517-1.10 SUM=294\rLENGTH=3", ABC)), STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=3 VER=v517-1.10 SUM=294", ABC)), STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=3 SUM=294\rVER=v517", ABC)), STEP_ERROR_INVALID_PARAMETER);
  // A value of 32 characters does not fit its buffer; 31 does.
  EXPECT_EQ(Check(Image("LENGTH=3 VER=" + std::string(32, 'v') + " SUM=294\r", ABC)),
            STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=3 VER=" + std::string(31, 'v') + " SUM=294\r", ABC)), STEP_OK);
  // A key after the first zero byte is not found, though the image holds it.
  auto early_zero = Image(full, ABC);
  early_zero[full.find("SUM=")] = 0;
  std::copy_n("SUM=294\r", 8, early_zero.begin() + 40);
  EXPECT_EQ(Check(early_zero), STEP_ERROR_INVALID_PARAMETER);
  // Shorter than a header, whatever LENGTH says.
  const std::string short_header = "LENGTH=-1 VER=v1 SUM=0\r";
  std::vector<uint8_t> short_image(short_header.begin(), short_header.end());
  short_image.resize(95, 0);
  EXPECT_EQ(Check(short_image), STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check({}), STEP_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Check(Image("LENGTH=-96 VER=v1 SUM=0\r", {})), STEP_ERROR_INVALID_PARAMETER);
  // A header that agrees with no payload at all would flash nothing.
  EXPECT_EQ(Check(Image("LENGTH=0 VER=v1 SUM=0\r", {})), STEP_ERROR_INVALID_PARAMETER);
}

TEST(FirmwareHeader, SearchesToTheEndOfAnImageWithoutAZeroByte) {
  // 64 KiB of 0xA5 under a header padded with spaces: no zero byte anywhere.
  const std::vector<uint8_t> payload(65536, 0xA5);
  auto image = Image("LENGTH=65536 VER=v517-1.10 SUM=10813440\r", payload);
  std::replace(image.begin(), image.begin() + FIRMWARE_HEADER_SIZE, uint8_t{0}, uint8_t{' '});
  EXPECT_EQ(Check(image), STEP_OK);
}

TEST(FirmwareHeader, KeepsTheVersionEvenWhenTheSumThenFails) {
  VersionText version{};
  EXPECT_EQ(FirmwareHeaderCheck(Image("LENGTH=3 VER=v518-2.00 SUM=1\r", ABC), version),
            STEP_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(version.data(), "v518-2.00");
}

TEST(HeaderNumber, ReadsLikeASaturatingSignedDecimal) {
  EXPECT_EQ(ParseHeaderNumber(""), 0);
  EXPECT_EQ(ParseHeaderNumber("  \t42"), 42);
  EXPECT_EQ(ParseHeaderNumber("+7x9"), 7);
  EXPECT_EQ(ParseHeaderNumber("-15"), -15);
  EXPECT_EQ(ParseHeaderNumber("- 15"), 0);
  EXPECT_EQ(ParseHeaderNumber("2147483647"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ParseHeaderNumber("2147483648"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ParseHeaderNumber("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ParseHeaderNumber("-99999999999999999999"), std::numeric_limits<int32_t>::min());
}

}  // namespace
}  // namespace pelox
