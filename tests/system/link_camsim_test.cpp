// The link over the real serial backend against camsim on a pseudo-terminal,
// in real time: the automatic search, the speed change, and property and
// data traffic at 115200 bit/s.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "link/camera_link.h"
#include "tests/system/camsim_process.h"
#include "platform/serial_map.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr int32_t SPEED_115200 = 5;
constexpr uint8_t PROPERTY_BATTERY = 16;
constexpr uint8_t PROPERTY_UPLOAD_KEY = 32;
constexpr uint32_t UPLOAD_KEY = 0x05A3C7D1;
constexpr uint8_t KIND_MAKER = 48;
constexpr uint8_t KIND_USAGE_TABLE = 123;
constexpr size_t USAGE_TABLE_BYTES = 1032;
constexpr uint8_t KIND_FIRMWARE = 29;
constexpr size_t WRITE_SIZE = 100 * 1024;

TEST(LinkAgainstCamsim, FindsConnectsAndCarriesDataIntactAt115200) {
  const std::filesystem::path log_path =
      std::filesystem::temp_directory_path() / "pelox_link_camsim.log";
  Camsim camsim("--battery 77 --log " + log_path.string());
  ASSERT_FALSE(camsim.Path().empty());
  PortResetState();
  LinkDestroyAll();
  SerialMapDevice(1, camsim.Path());
  SerialMapDevice(2, "");  // never a real device

  CameraLink* link = LinkCreate();
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(LinkSetSpeed(SPEED_115200, link), LINK_OK);
  ASSERT_EQ(LinkOpenPort(0, link), 1);
  ASSERT_EQ(LinkConnect(1, link), LINK_OK);
  EXPECT_EQ(PortCommSettings().BaudRate, 115200u);

  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 77);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_OK);
  EXPECT_EQ(LinkGetValue(PROPERTY_UPLOAD_KEY, false, link), static_cast<int32_t>(UPLOAD_KEY));

  std::vector<uint8_t> maker(32, 0xAA);
  EXPECT_EQ(LinkReadData(KIND_MAKER, maker, 0, 0, link), LINK_OK);
  EXPECT_STREQ(reinterpret_cast<const char*>(maker.data()), "PELOX CO.,LTD.");
  std::vector<uint8_t> table(USAGE_TABLE_BYTES, 0xAA);
  EXPECT_EQ(LinkReadData(KIND_USAGE_TABLE, table, 0, 0, link), LINK_OK);
  EXPECT_EQ(table, std::vector<uint8_t>(USAGE_TABLE_BYTES, 0));

  std::vector<uint8_t> image(WRITE_SIZE);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 29 + i / 255);
  EXPECT_EQ(LinkWriteData(KIND_FIRMWARE, image, link), LINK_OK);
  const uint32_t sum = std::accumulate(image.begin(), image.end(), 0u);

  EXPECT_EQ(LinkConnect(0, link), LINK_OK);
  LinkDestroyAll();
  const std::string statement = camsim.Finish();
  std::array<char, 128> expected{};
  std::snprintf(expected.data(), expected.size(), "firmware image of %zu bytes", WRITE_SIZE);
  EXPECT_NE(statement.find(expected.data()), std::string::npos) << statement;
  std::snprintf(expected.data(), expected.size(), "(sum 0x%08X)", sum);
  EXPECT_NE(statement.find(expected.data()), std::string::npos) << statement;

  std::ifstream log_file(log_path);
  const std::string log{std::istreambuf_iterator<char>(log_file), std::istreambuf_iterator<char>()};
  EXPECT_EQ(log.find("garbled"), std::string::npos) << "camsim heard every unit at its speed\n"
                                                    << log;
  std::filesystem::remove(log_path);
  SerialResetDeviceMap();
  PortResetState();
}

}  // namespace
}  // namespace pelox
