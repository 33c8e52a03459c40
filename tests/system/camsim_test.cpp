// camsim on its pseudo-terminal, reached through the port layer and the
// real serial backend, in real time.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "link/camera_link.h"
#include "platform/serial_map.h"
#include "tests/byte_pattern.h"
#include "tests/sim/firmware_image.h"
#include "tests/system/camsim_process.h"
#include "transport/port/port.h"
#include "transport/port/port_state.h"

namespace pelox {
namespace {

constexpr int32_t WAIT_ONE_SECOND = 100;
constexpr int32_t WAIT_A_FIFTH = 20;  // well within camsim's idle limit

constexpr int32_t NO_ANSWER = -100;
constexpr int32_t LINE_FAILED = -101;

// The one byte that answers a probe sent at `baud`, NO_ANSWER, or
// LINE_FAILED when a port call fails.
int32_t ProbeAnswer(uint32_t baud, int32_t wait) {
  PortState link;
  if (PortOpenCom(1, baud, 8, 4096, 4096, &link) != 1) return LINE_FAILED;
  const std::array<uint8_t, 1> probe{0x00};
  std::array<uint8_t, 1> answer{};
  int32_t result = PortWrite(&link, probe);
  if (result == 1) result = PortRead(&link, answer, wait);
  PortClose(&link);
  if (result == 1) return answer[0];
  return result == 0 ? NO_ANSWER : LINE_FAILED;
}

TEST(CamsimOnAPseudoTerminal, AnswersTheProbeOnlyAtTheOpeningSpeedAndReportsAtExit) {
  Camsim camsim("");
  ASSERT_FALSE(camsim.Path().empty());
  SerialMapDevice(1, camsim.Path());
  EXPECT_EQ(ProbeAnswer(115200, WAIT_A_FIFTH), NO_ANSWER);
  EXPECT_EQ(ProbeAnswer(19200, WAIT_ONE_SECOND), 0x15);
  EXPECT_EQ(camsim.Finish(), "camsim: no firmware image was sent\n");
  SerialResetDeviceMap();
  PortResetState();
}

TEST(CamsimOnAPseudoTerminal, APortFailureHangsUpTheLine) {
  Camsim camsim("--fault port-failure@probe");
  ASSERT_FALSE(camsim.Path().empty());
  SerialMapDevice(1, camsim.Path());
  EXPECT_EQ(ProbeAnswer(19200, WAIT_ONE_SECOND), LINE_FAILED);
  EXPECT_EQ(camsim.Finish(), "camsim: no firmware image was sent\n");
  SerialResetDeviceMap();
  PortResetState();
}

TEST(CamsimOnAPseudoTerminal, TakesAFirmwareImageFlashesItAndSaysSo) {
  // Several builds may run this test at once: each gets its own report.
  const std::filesystem::path report =
      std::filesystem::temp_directory_path() /
      ("camsim_flash_report_" + std::to_string(std::random_device{}()) + ".txt");
  Camsim camsim("--exit-after-flash --flash-busy-ms 300 --report " + report.string());
  ASSERT_FALSE(camsim.Path().empty());
  SerialMapDevice(1, camsim.Path());
  const std::vector<uint8_t> image = test::FirmwareImage(test::Pattern(20000), "v517-1.10");

  LinkDestroyAll();
  CameraLink* link = LinkCreate();
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(LinkSetSpeed(5, link), 0);
  ASSERT_EQ(LinkOpenPort(PORT_TYPE_COM_FIRST, link), PORT_TYPE_COM_FIRST);
  ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK);
  EXPECT_EQ(LinkSetValue(32, 0x05A3C7D1, link), 0);
  EXPECT_EQ(LinkWriteData(29, image, link), 0);
  EXPECT_EQ(LinkExecute(11, 0, 60000, link), 0);
  EXPECT_EQ(LinkCheckAlive(link), 1);
  EXPECT_EQ(LinkConnect(LINK_DISCONNECT, link), 0);
  LinkDelete(link);

  EXPECT_EQ(camsim.Finish(), "");
  std::ifstream file(report);
  std::string statement;
  std::getline(file, statement);
  char sum[16];
  std::snprintf(sum, sizeof sum, "0x%08X", test::ByteSum(image));
  EXPECT_EQ(statement, "camsim: firmware image of " + std::to_string(image.size()) +
                           " bytes arrived byte for byte (sum " + sum +
                           ") and was flashed: version now v517-1.10");
  std::filesystem::remove(report);
  SerialResetDeviceMap();
  PortResetState();
}

}  // namespace
}  // namespace pelox
