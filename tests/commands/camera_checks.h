#pragma once
// What the uploader's camera checks read from a virtual camera as it comes,
// and what the pictures and refusals of such a camera give on any port.
#include <gtest/gtest.h>

#include <array>

#include "commands/camera_commands.h"
#include "sim/camera/virtual_camera.h"
#include "sim/vocabulary/pictures.h"

namespace pelox {

inline void ExpectFreshCameraChecks(CameraLink* link) {
  std::array<char, CAMERA_TEXT_SIZE> text{};
  ASSERT_EQ(CameraGetVendor(text, link), LINK_OK);
  EXPECT_STREQ(text.data(), "PELOX CO.,LTD.");
  ASSERT_EQ(CameraGetFirmwareVersion(text, link), LINK_OK);
  EXPECT_STREQ(text.data(), "v517-1.00");
  EXPECT_EQ(CameraGetBatteryLevel(link), 100);
  std::array<char, CAMERA_FAMILY_SIZE + 1> family{};
  ASSERT_EQ(CameraGetFirmwareFamily(family, link), LINK_OK);
  EXPECT_STREQ(family.data(), "v517");
}

// Whatever the camera refuses with its error byte, a selection, a get or a
// read, the call gives the same code; the link goes on afterwards.
inline void ExpectRefusalsGiveTheCamerasError(sim::VirtualCamera& camera, CameraLink* link) {
  uint32_t count = 0;
  EXPECT_EQ(CameraCountObjects(count, link), LINK_OK);
  EXPECT_EQ(count, 0u) << "a camera without pictures refuses the first selection";
  std::array<uint8_t, 32> block{};
  EXPECT_EQ(CameraReadObject(block, sim::FIRST_PICTURE_NUMBER, link), LINK_ERROR_CAMERA_ERROR);
  EXPECT_EQ(CameraRead25(block, link), LINK_ERROR_CAMERA_ERROR) << "no block of that kind";
  camera.Faults().Add({.kind = sim::FaultKind::REFUSE,
                       .target = sim::FaultTarget::GET,
                       .id = PROPERTY_BATTERY_LEVEL,
                       .times = 10});
  uint32_t level = 0;
  EXPECT_EQ(CameraGetBatteryLevelChecked(level, link), LINK_ERROR_CAMERA_ERROR);
  EXPECT_EQ(CameraGetUploadKey(link), 0) << "the link went on";
}

// Every generated picture arrives whole, with its thumbnail and its sound.
inline void ExpectGeneratedPicturesArrive(sim::CommandVocabulary& vocabulary, CameraLink* link) {
  constexpr uint32_t PICTURES = 3;
  for (uint32_t number = sim::FIRST_PICTURE_NUMBER; number < sim::FIRST_PICTURE_NUMBER + PICTURES;
       ++number) {
    vocabulary.AddObject(number, sim::GeneratedPicture(number));
  }
  uint32_t count = 0;
  ASSERT_EQ(CameraCountObjects(count, link), LINK_OK);
  EXPECT_EQ(count, PICTURES);
  const sim::SimObject picture = sim::GeneratedPicture(sim::FIRST_PICTURE_NUMBER);
  std::vector<uint8_t> data(picture.data.size());
  ASSERT_EQ(CameraReadObject(data, sim::FIRST_PICTURE_NUMBER, link), LINK_OK);
  EXPECT_TRUE(data == picture.data);
  std::vector<uint8_t> secondary(picture.secondary.size());
  ASSERT_EQ(CameraReadSecondary(secondary, sim::FIRST_PICTURE_NUMBER, link), LINK_OK);
  EXPECT_TRUE(secondary == picture.secondary);
  ASSERT_TRUE(picture.sound.has_value());
  uint32_t decoded = 0;
  ASSERT_EQ(CameraGetSoundSizeChecked(sim::FIRST_PICTURE_NUMBER, decoded, link), LINK_OK);
  ASSERT_EQ(decoded, picture.sound->decoded_size);
  std::vector<uint8_t> sound(decoded);
  ASSERT_EQ(CameraReadSound(sound, sim::FIRST_PICTURE_NUMBER, link), LINK_OK);
  std::vector<uint8_t> expected = picture.sound->data;
  expected.resize(sound.size());
  ASSERT_EQ(DecodeSoundSamples(expected, picture.sound->decoded_size), LINK_OK);
  EXPECT_TRUE(sound == expected);
}

}  // namespace pelox
