#pragma once
// What the uploader's camera checks read from a virtual camera as it comes.
#include <gtest/gtest.h>

#include <array>

#include "commands/firmware_commands.h"

namespace pelox {

inline void ExpectFreshCameraChecks(CameraLink* link) {
  std::array<char, CAMERA_TEXT_SIZE> text{};
  ASSERT_EQ(CameraGetVendor(text, link), LINK_OK);
  EXPECT_STREQ(text.data(), "PELOX CO.,LTD.");
  ASSERT_EQ(CameraGetFirmwareVersion(text, link), LINK_OK);
  EXPECT_STREQ(text.data(), "v517-1.00");
  EXPECT_EQ(CameraGetBatteryLevel(link), 100);
}

}  // namespace pelox
