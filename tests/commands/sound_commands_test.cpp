// Sound reads against the virtual camera: the sizes they trust, the
// expansion of compressed sound, and the object-and-sound read.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "commands/camera_commands.h"
#include "tests/commands/camera_fixture.h"

// The old value-or-failure forms stay exported, so their rows stay too.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace pelox {
namespace {

constexpr uint32_t OBJECT = 3;

const WireRequest SELECT{CLASS_SET, PROPERTY_OBJECT_NUMBER, Le32Bytes(OBJECT)};
const WireRequest SOUND_INFORMATION{CLASS_READ, DATA_KIND_SOUND_INFORMATION, {}};
const WireRequest SOUND_DATA{CLASS_READ, DATA_KIND_SOUND, {}};

// A compressed sound: the header, then the packed bytes 0x77 0x00, which
// expand to 133 146 146 146.
sim::SimSound CompressedSound() {
  sim::SimSound sound;
  sound.decoded_size = 48;
  sound.data.assign(44, 0xA5);
  sound.data.insert(sound.data.end(), {0x77, 0x00});
  sound.compressed = true;
  return sound;
}

sim::SimSound PlainSound(size_t size, uint8_t sample) {
  sim::SimSound sound;
  sound.data.assign(size, sample);
  return sound;
}

class Sounds : public CommandsOnCamera {
 protected:
  void WithSound(std::optional<sim::SimSound> sound, std::vector<uint8_t> data = {}) {
    sim::SimObject object;
    object.data = std::move(data);
    object.sound = std::move(sound);
    vocabulary_.AddObject(OBJECT, object);
  }
};

TEST_F(Sounds, SizeIsTheDecodedSize) {
  WithSound(CompressedSound());
  EXPECT_EQ(CameraGetSoundSize(OBJECT, link_), 48);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{SELECT, SOUND_INFORMATION}));
  EXPECT_EQ(CameraGetSoundSize(OBJECT + 1, link_), -1);
  uint32_t size = 0;
  EXPECT_EQ(CameraGetSoundSizeChecked(OBJECT, size, link_), LINK_OK);
  EXPECT_EQ(size, 48u);
  const LinkError refused = CameraGetSoundSizeChecked(OBJECT + 1, size, link_);
  EXPECT_NE(refused, LINK_OK);
  EXPECT_EQ(refused, LinkLastError(link_));
}

TEST_F(Sounds, CompressedSoundIsExpandedBehindItsHeader) {
  WithSound(CompressedSound());
  std::vector<uint8_t> buffer(48);
  ASSERT_EQ(CameraReadSound(buffer, OBJECT, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{SELECT, SOUND_INFORMATION, SOUND_DATA}));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 44),
            std::vector<uint8_t>(44, 0xA5));
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 44, buffer.end()),
            (std::vector<uint8_t>{133, 146, 146, 146}));
}

TEST_F(Sounds, UncompressedSoundStaysAsRead) {
  sim::SimSound sound = CompressedSound();
  sound.compressed = false;
  WithSound(sound);
  std::vector<uint8_t> buffer(46);
  ASSERT_EQ(CameraReadSound(buffer, OBJECT, link_), LINK_OK);
  EXPECT_EQ(buffer, sound.data);
}

TEST_F(Sounds, SizesThatDoNotFitTheBufferAreRefusedBeforeTheData) {
  struct Case {
    const char* what;
    sim::SimSound sound;
    size_t buffer_size;
    int32_t code;
  };
  sim::SimSound below_header = CompressedSound();
  below_header.decoded_size = 43;
  sim::SimSound negative = CompressedSound();
  negative.stated_transfer_size = 0x80000000u;
  const sim::SimSound silent = PlainSound(0, 0);
  const Case cases[] = {
      {"decoded size beyond the buffer", CompressedSound(), 47, LINK_ERROR_UNEXPECTED},
      {"transfer beyond the buffer", CompressedSound(), 45, LINK_ERROR_UNEXPECTED},
      {"decoded size below the header", below_header, 48, LINK_ERROR_UNEXPECTED},
      {"negative transfer size", negative, 48, LINK_ERROR_UNEXPECTED},
      {"no sound", silent, 48, LINK_ERROR_EMPTY_OBJECT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WithSound(c.sound);
    std::vector<uint8_t> buffer(c.buffer_size, 0xEE);
    EXPECT_EQ(CameraReadSound(buffer, OBJECT, link_), c.code);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{SELECT, SOUND_INFORMATION}));
    EXPECT_EQ(buffer, std::vector<uint8_t>(c.buffer_size, 0xEE));
    Settle();
  }
}

std::vector<int32_t> progress;

int32_t RecordProgress(void*, int32_t, int32_t percent) {
  progress.push_back(percent);
  return 1;
}

TEST_F(Sounds, ObjectAndSoundShareOneProgressRun) {
  WithSound(PlainSound(5000, 0x31), std::vector<uint8_t>(5000, 0x42));
  progress.clear();
  LinkSetProgressCallback(RecordProgress, nullptr, link_);
  std::vector<uint8_t> image(10000);
  std::vector<uint8_t> samples(10000);
  ASSERT_EQ(CameraReadObjectAndSound(image, samples, OBJECT, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{SELECT,
                                                      {CLASS_GET, 12, {}},
                                                      SOUND_INFORMATION,
                                                      {CLASS_READ, DATA_KIND_OBJECT, {}},
                                                      SOUND_DATA}));
  EXPECT_EQ(image[4999], 0x42);
  EXPECT_EQ(samples[4999], 0x31);
  // The sound phase starts at 5000 * 6400 / 10000 in 1/256 percent: 12 %.
  const auto image_end = std::find(progress.begin(), progress.end(), 100);
  ASSERT_NE(image_end, progress.end());
  ASSERT_NE(image_end + 1, progress.end());
  EXPECT_EQ(*(image_end + 1), 12);
}

TEST_F(Sounds, ObjectWithoutSoundReadsOnlyTheObject) {
  WithSound(std::nullopt, std::vector<uint8_t>(700, 0x42));
  std::vector<uint8_t> image(700);
  std::vector<uint8_t> samples;
  ASSERT_EQ(CameraReadObjectAndSound(image, samples, OBJECT, link_), LINK_OK);
  EXPECT_EQ(
      TakeRequests(),
      (std::vector<WireRequest>{
          SELECT, {CLASS_GET, 12, {}}, SOUND_INFORMATION, {CLASS_READ, DATA_KIND_OBJECT, {}}}));
  EXPECT_EQ(image, std::vector<uint8_t>(700, 0x42));
}

TEST_F(Sounds, ObjectAndSoundRefusesBuffersBelowTheTotal) {
  WithSound(CompressedSound(), std::vector<uint8_t>(100, 0x42));
  std::vector<uint8_t> image(145);
  std::vector<uint8_t> samples(146);
  EXPECT_EQ(CameraReadObjectAndSound(image, samples, OBJECT, link_), LINK_ERROR_UNEXPECTED);
  Settle();
  image.resize(146);
  samples.resize(145);
  EXPECT_EQ(CameraReadObjectAndSound(image, samples, OBJECT, link_), LINK_ERROR_UNEXPECTED);
  Settle();
  samples.resize(146);
  ASSERT_EQ(CameraReadObjectAndSound(image, samples, OBJECT, link_), LINK_OK);
  EXPECT_EQ(samples[44], 133);
}

}  // namespace
}  // namespace pelox
