#include "app/camera_checks.h"

#include <gtest/gtest.h>

#include <string_view>

namespace pelox {
namespace {

// A 32-character buffer holding `text`, zero-filled after it.
VersionText Text(std::string_view text) {
  VersionText buffer{};
  text.copy(buffer.data(), buffer.size());
  return buffer;
}

bool Accepted(std::string_view image, std::string_view camera) {
  return SameVersionFamily(Text(image), Text(camera)) && ImageIsNewer(Text(image), Text(camera));
}

TEST(CameraChecks, AcceptsOnlyAStrictlyNewerImageOfTheSameFamily) {
  EXPECT_TRUE(Accepted("v517-1.10", "v517-1.00"));
  EXPECT_FALSE(Accepted("v517-1.10", "v517-1.10"));
  EXPECT_FALSE(Accepted("v517-1.00", "v517-1.10"));
  EXPECT_FALSE(Accepted("v517-1.10", "v518-1.00"));
  EXPECT_TRUE(Accepted("V517-1.10", "v517-1.00"));
}

TEST(CameraChecks, SkipsTheUpdateMarkOfEitherVersion) {
  EXPECT_TRUE(Accepted("v517u-1.10", "v517-1.05"));
  EXPECT_TRUE(Accepted("v517U-1.10", "v517-1.05"));
  EXPECT_FALSE(Accepted("v517-1.05", "v517u-1.10"));
}

TEST(CameraChecks, ComparesVersionNumbersAsTextNotAsValues) {
  EXPECT_FALSE(Accepted("v517-1.10", "v517-1.9"));
  EXPECT_TRUE(Accepted("v517-1.9", "v517-1.10"));
  // A text that ends first is the lower; case does not count.
  EXPECT_TRUE(Accepted("v517-1.10a", "v517-1.10"));
  EXPECT_FALSE(Accepted("v517-1.10A", "v517-1.10a"));
}

TEST(CameraChecks, MatchesShortFamiliesOnlyWhenBothEndTogether) {
  EXPECT_FALSE(SameVersionFamily(Text("v51"), Text("v517-1.00")));
  EXPECT_TRUE(SameVersionFamily(Text("v51"), Text("V51")));
  EXPECT_FALSE(ImageIsNewer(Text("v51"), Text("v51")));
}

TEST(CameraChecks, ReadsAFullBufferWithoutTerminator) {
  VersionText full{};
  full.fill('9');
  EXPECT_EQ(BufferText(full).size(), full.size());
  EXPECT_TRUE(ImageIsNewer(full, Text("9999-1")));
}

TEST(CameraChecks, RecognisesTheMakerIgnoringCaseOnly) {
  EXPECT_TRUE(MakerIsPelox(Text("PELOX CO.,LTD.")));
  EXPECT_TRUE(MakerIsPelox(Text("pelox co.,ltd.")));
  EXPECT_FALSE(MakerIsPelox(Text("PELOX CO.,LTD")));
  EXPECT_FALSE(MakerIsPelox(Text("PELOX CO.,LTD. ")));
  EXPECT_FALSE(MakerIsPelox(Text("")));
}

TEST(CameraChecks, RefusesALowBatteryAtTheThresholdOfTheFamily) {
  const uint32_t v517 = BatteryThreshold(Text("V517-1.10"));
  const uint32_t other = BatteryThreshold(Text("v518-1.10"));
  EXPECT_EQ(v517, 50u);
  EXPECT_EQ(other, 80u);
  EXPECT_TRUE(BatteryTooLow(1, v517));
  EXPECT_TRUE(BatteryTooLow(49, v517));
  EXPECT_FALSE(BatteryTooLow(50, v517));
  EXPECT_TRUE(BatteryTooLow(79, other));
  EXPECT_FALSE(BatteryTooLow(80, other));
  EXPECT_FALSE(BatteryTooLow(100, other));
}

TEST(CameraChecks, LetsAnEmptyReadingOrAFailedQueryPass) {
  EXPECT_FALSE(BatteryTooLow(0, BATTERY_THRESHOLD_DEFAULT));
  EXPECT_FALSE(BatteryTooLow(-1, BATTERY_THRESHOLD_DEFAULT));
}

}  // namespace
}  // namespace pelox
