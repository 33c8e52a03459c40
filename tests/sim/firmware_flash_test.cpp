// The camera's firmware store and flash: what it accepts and what it says.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/sim/camera_fixture.h"
#include "tests/sim/firmware_image.h"
#include "tests/sim/host_frames.h"

namespace pelox {
namespace {

using test::Bytes;
using test::Pattern;
constexpr uint32_t KEY = 0x05A3C7D1;
constexpr uint32_t BUSY_MS = 8000;

std::string Hex(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

class FirmwareFlashTest : public ::testing::Test, protected test::CameraFixture {
 protected:
  FirmwareFlashTest() : CameraFixture(Config()) {}
  static sim::CameraConfig Config() {
    sim::CameraConfig config;
    config.flash_busy_ms = BUSY_MS;
    return config;
  }
  void Upload(const Bytes& image, bool large = false) {
    for (const Bytes& frame : test::WriteFrames(29, image, large)) {
      ASSERT_EQ(Exchange(frame), Bytes{0x06});
    }
  }
  Bytes Flash() { return Exchange(test::Request({2, 11, 0})); }
  std::string Statement() const {
    return sim::DescribeStatement(camera_.Model().Firmware().Statement());
  }
  std::string Version() {
    const Bytes text = Exchange(test::Request({4, 26}));
    return text.size() > 6 ? std::string(text.begin() + 4, text.end() - 3) : std::string();
  }
};

TEST_F(FirmwareFlashTest, AKeyedWholeImageIsFlashedAndTheVersionChangesAfterTheBusyTime) {
  const Bytes image = test::FirmwareImage(Pattern(5000), "v517-1.10");
  EXPECT_EQ(Version(), "v517-1.00");
  ASSERT_EQ(Exchange(test::SetRequest(32, KEY)), Bytes{0x06});
  Upload(image);
  EXPECT_EQ(camera_.Model().Firmware().Image(), image);
  EXPECT_EQ(Flash(), Bytes{0x06});
  EXPECT_EQ(Exchange(test::GetRequest(18)), test::GetReply(0));
  now_ms_ += BUSY_MS - 1;
  EXPECT_TRUE(Replies().empty());
  now_ms_ += 1;
  EXPECT_EQ(Replies(), std::vector<Bytes>{Bytes{0x05}});
  EXPECT_EQ(Exchange(test::GetRequest(18)), test::GetReply(1));
  EXPECT_EQ(Version(), "v517-1.10");
  EXPECT_EQ(Statement(), "camsim: firmware image of 5096 bytes arrived byte for byte (sum 0x" +
                             Hex(test::ByteSum(image)) +
                             ") and was flashed: version now v517-1.10");

  // A later image that breaks off is not reported as the flashed one.
  const Bytes next = test::FirmwareImage(Pattern(5000), "v517-1.20");
  ASSERT_EQ(Exchange(test::WriteFrames(29, next)[0]), Bytes{0x06});
  EXPECT_EQ(Statement(), "camsim: firmware image of 2046 bytes arrived incomplete (sum 0x" +
                             Hex(test::ByteSum(std::span(next).first(2046))) +
                             ") and was not flashed");
  // A full first frame followed by another request reads as a whole write
  // of that size; the header still exposes the missing bytes.
  EXPECT_EQ(Flash(), Bytes{0x11});
  EXPECT_EQ(camera_.Model().Firmware().Statement().reason, "LENGTH= does not match the image");
  EXPECT_EQ(Version(), "v517-1.10");
}

TEST_F(FirmwareFlashTest, LargeFramesAndARestartedTransferAreAcceptedToo) {
  const Bytes image = test::FirmwareImage(Pattern(100000), "v517-2.00");
  ASSERT_EQ(Exchange(test::SetRequest(32, KEY)), Bytes{0x06});
  const auto frames = test::WriteFrames(29, image, true);
  ASSERT_EQ(Exchange(frames[0]), Bytes{0x06});
  ASSERT_EQ(Exchange(frames[1]), Bytes{0x06});
  Upload(image, true);  // from the first byte again, as after a reconnection
  EXPECT_EQ(Flash(), Bytes{0x06});
  now_ms_ += BUSY_MS;
  EXPECT_EQ(Replies(), std::vector<Bytes>{Bytes{0x05}});
  EXPECT_EQ(Version(), "v517-2.00");
}

struct Refusal {
  const char* name;
  Bytes image;
  bool key_first;
  bool complete;
  const char* reason;
};

TEST_F(FirmwareFlashTest, RefusesAnyImageItCannotVouchFor) {
  const Bytes payload = Pattern(3000);
  const Bytes good = test::FirmwareImage(payload, "v517-1.10");
  const std::vector<Refusal> refusals = {
      {"no key", good, false, true, "the upload key was not set before the transfer"},
      {"cut short", good, true, false, "the transfer was cut short"},
      {"length one more", test::FirmwareImage(payload, "v517-1.10", 1), true, true,
       "LENGTH= does not match the image"},
      {"length one less", test::FirmwareImage(payload, "v517-1.10", -1), true, true,
       "LENGTH= does not match the image"},
      {"sum one off", test::FirmwareImage(payload, "v517-1.10", 0, 1), true, true,
       "SUM= does not match the payload"},
      {"no header", Bytes(good.begin() + 96, good.end()), true, true,
       "the header lacks LENGTH=, VER= or SUM="},
      {"short", Bytes(good.begin(), good.begin() + 40), true, true,
       "the image is shorter than its header"},
  };
  for (const Refusal& refusal : refusals) {
    sim::CameraModel model;
    if (refusal.key_first) {
      ASSERT_TRUE(model.SetProperty(32, KEY, 0));
    }
    ASSERT_TRUE(model.BeginWrite(29, 0));
    ASSERT_TRUE(model.AppendWrite(refusal.image));
    model.EndWrite(refusal.complete, 0);
    if (!refusal.key_first) {
      ASSERT_TRUE(model.SetProperty(32, KEY, 0));
    }
    EXPECT_FALSE(model.RunAction(11, 0, 0)) << refusal.name;
    EXPECT_FALSE(model.Busy(0)) << refusal.name;
    EXPECT_EQ(model.FirmwareVersion(), "v517-1.00") << refusal.name;
    EXPECT_EQ(model.Firmware().Statement().reason, refusal.reason) << refusal.name;
  }
}

TEST_F(FirmwareFlashTest, ARefusedFlashIsAnsweredWith0x11AndSaysWhy) {
  ASSERT_EQ(Exchange(test::SetRequest(32, 0x0C4B0D27)), Bytes{0x06});
  const Bytes image = test::FirmwareImage(Pattern(10), "v517-1.10");
  Upload(image);
  EXPECT_EQ(Flash(), Bytes{0x11});
  EXPECT_EQ(Statement(), "camsim: firmware image of 106 bytes arrived byte for byte (sum 0x" +
                             Hex(test::ByteSum(image)) +
                             ") and was refused: the upload key was not set before the transfer");
  sim::CameraModel fresh;
  EXPECT_FALSE(fresh.RunAction(11, 0, 0));
  EXPECT_EQ(sim::DescribeStatement(fresh.Firmware().Statement()),
            "camsim: no firmware image was sent");
}

TEST(FirmwareStore, TheBusyTimeIsCappedAtOneMinute) {
  EXPECT_EQ(sim::FirmwareStore(KEY, 90000).BusyMs(), sim::MAX_FLASH_BUSY_MS);
  EXPECT_EQ(sim::FirmwareStore(KEY, 2500).BusyMs(), 2500u);
}

}  // namespace
}  // namespace pelox
