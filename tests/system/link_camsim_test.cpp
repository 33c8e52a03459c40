// The link over the real serial backend against camsim on a pseudo-terminal,
// in real time: the automatic search, the speed change, and property and
// data traffic at 115200 bit/s.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "link/camera_link.h"
#include "link/error_text.h"
#include "link/link_info.h"
#include "link/link_record.h"
#include "platform/serial_map.h"
#include "tests/byte_pattern.h"
#include "tests/system/camsim_process.h"
#include "transport/port/port.h"
#include "transport/port/port_settings.h"

namespace pelox {
namespace {

constexpr int32_t SPEED_115200 = 5;
constexpr uint8_t PROPERTY_BATTERY = 16;
constexpr uint8_t PROPERTY_UPLOAD_KEY = 32;
constexpr uint32_t UPLOAD_KEY = 0x05A3C7D1;
constexpr uint8_t KIND_MAKER = 48;
constexpr uint8_t KIND_BLOB = 60;
constexpr size_t READ_SIZE = 5000;
constexpr uint8_t KIND_FIRMWARE = 29;
constexpr size_t WRITE_SIZE = 100 * 1024;

TEST(LinkAgainstCamsim, FindsConnectsAndCarriesDataIntactAt115200) {
  // Unique, as several test runs may share the machine.
  const std::string stem = (std::filesystem::temp_directory_path() /
                            ("pelox_link_camsim_" + std::to_string(std::random_device{}())))
                               .string();
  const std::filesystem::path log_path = stem + ".log";
  const std::filesystem::path blob_path = stem + ".blob";
  const std::vector<uint8_t> blob = test::Pattern(READ_SIZE);
  std::ofstream(blob_path, std::ios::binary)
      .write(reinterpret_cast<const char*>(blob.data()), static_cast<std::streamsize>(blob.size()));
  Camsim camsim("--battery 77 --log " + log_path.string() + " --blob " + std::to_string(KIND_BLOB) +
                "=" + blob_path.string());
  ASSERT_FALSE(camsim.Path().empty());
  PortResetState();
  LinkDestroyAll();
  SerialMapDevice(1, camsim.Path());
  SerialMapDevice(2, "");  // never a real device

  CameraLink* link = LinkCreate();
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(LinkSetSpeed(SPEED_115200, link), LINK_OK);
  ASSERT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, link), 1);
  ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK) << LinkErrorText(LinkLastError(link));
  EXPECT_EQ(PortCommSettings().BaudRate, 115200u);

  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 77);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link), LINK_OK);
  EXPECT_EQ(LinkGetValue(PROPERTY_UPLOAD_KEY, false, link), static_cast<int32_t>(UPLOAD_KEY));

  // The maker text is shorter than asked for: a failure that tells what arrived.
  std::vector<uint8_t> maker(32, 0xAA);
  EXPECT_EQ(LinkReadData(KIND_MAKER, maker, 0, 0, link), LINK_ERROR_UNEXPECTED);
  EXPECT_EQ(LinkBytesReceived(link), sizeof "PELOX CO.,LTD.");
  EXPECT_STREQ(reinterpret_cast<const char*>(maker.data()), "PELOX CO.,LTD.");
  std::vector<uint8_t> read(READ_SIZE);
  int32_t code = LinkReadData(KIND_BLOB, read, 0, 0, link);
  if (code == LINK_RESTART) code = LinkReadData(KIND_BLOB, read, 0, 0, link);
  EXPECT_EQ(code, LINK_OK);
  EXPECT_EQ(read, blob);

  const std::vector<uint8_t> image = test::Pattern(WRITE_SIZE, 29);
  EXPECT_EQ(LinkWriteData(KIND_FIRMWARE, image, link), LINK_OK);
  const uint32_t sum = std::accumulate(image.begin(), image.end(), 0u);

  EXPECT_EQ(LinkConnect(LINK_DISCONNECT, link), LINK_OK);
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
  std::filesystem::remove(blob_path);
  SerialResetDeviceMap();
  PortResetState();
}

// The descriptor that the process holds on `path`; -1 when there is none.
int DescriptorOf(const std::string& path) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) == path) {
      return std::stoi(entry.path().filename().string());
    }
  }
  return -1;
}

TEST(LinkOnPseudoTerminal, ACloseThatFailsStillReleasesThePortOnce) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  PortResetState();
  LinkDestroyAll();
  SerialMapDevice(1, slave);
  CameraLink* link = LinkCreate();
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(PortOpenCom(1, 19200, 8, 4096, 4096, link), 1);
  link->state = LINK_STATE_READY;

  // The descriptor goes away underneath the port: its close fails.
  const int descriptor = DescriptorOf(slave);
  ASSERT_GE(descriptor, 0);
  ASSERT_EQ(close(descriptor), 0);
  EXPECT_EQ(PortClose(link), PORT_FAILED);
  EXPECT_EQ(link->com_handle, nullptr);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  // Nothing is left to close twice, and the port opens again.
  EXPECT_EQ(PortClose(link), 1);
  EXPECT_EQ(PortOpenCom(1, 19200, 8, 4096, 4096, link), 1);
  LinkDestroyAll();
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  close(master);
  SerialResetDeviceMap();
  PortResetState();
}

}  // namespace
}  // namespace pelox
