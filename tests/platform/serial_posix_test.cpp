#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "platform/serial_map.h"

namespace pelox {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t PORT = 1;

// COM1 is mapped to the slave of a pseudo-terminal whose master plays the
// far end of the line. No test ever opens a real serial device.
class SerialPosixTest : public testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    SerialMapDevice(PORT, ptsname(master_));
    device_ = SerialOpen(PORT);
    ASSERT_NE(device_, nullptr);
  }
  void TearDown() override {
    if (device_ != nullptr) SerialClose(device_);
    SerialResetDeviceMap();
    close(master_);
  }

  termios FarEndMode() const {
    termios mode{};
    EXPECT_EQ(tcgetattr(master_, &mode), 0);
    return mode;
  }

  void Configure(uint32_t baud, uint32_t flags = 0) {
    CommSettings settings;
    ASSERT_TRUE(SerialGetState(device_, settings));
    settings.BaudRate = baud;
    settings.ByteSize = 8;
    settings.Parity = SERIAL_PARITY_NONE;
    settings.StopBits = SERIAL_ONE_STOP_BIT;
    settings.flags = flags;
    ASSERT_TRUE(SerialSetState(device_, settings));
  }

  void SetReadTimeout(uint32_t milliseconds) {
    CommTimeouts timeouts;
    ASSERT_TRUE(SerialGetTimeouts(device_, timeouts));
    timeouts.ReadTotalTimeoutConstant = milliseconds;
    ASSERT_TRUE(SerialSetTimeouts(device_, timeouts));
  }

  // Everything the far end has received so far.
  std::vector<uint8_t> FarEndReceived() const {
    std::vector<uint8_t> bytes;
    uint8_t chunk[512];
    ssize_t count = 0;
    while ((count = read(master_, chunk, sizeof chunk)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + count);
    return bytes;
  }

  void FarEndSends(const std::vector<uint8_t>& bytes) const {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  int master_ = -1;
  SerialHandle device_ = nullptr;
};

std::vector<uint8_t> EveryByteValue() {
  std::vector<uint8_t> bytes(256);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

TEST_F(SerialPosixTest, TheFarEndSeesARaw8N1LineAtTheSetSpeed) {
  Configure(19200);
  const termios mode = FarEndMode();
  EXPECT_EQ(cfgetospeed(&mode), static_cast<speed_t>(B19200));
  EXPECT_EQ(cfgetispeed(&mode), static_cast<speed_t>(B19200));
  EXPECT_EQ(mode.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(mode.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(mode.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(mode.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(mode.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(mode.c_oflag & OPOST, 0u);

  CommSettings read_back;
  ASSERT_TRUE(SerialGetState(device_, read_back));
  EXPECT_EQ(read_back.BaudRate, 19200u);
  EXPECT_EQ(read_back.ByteSize, 8);
  EXPECT_EQ(read_back.Parity, SERIAL_PARITY_NONE);
  EXPECT_EQ(read_back.StopBits, SERIAL_ONE_STOP_BIT);
}

TEST_F(SerialPosixTest, EverySpeedOfTheTableReachesTheLineAndOthersAreRefused) {
  const std::vector<std::pair<uint32_t, speed_t>> speeds = {{9600, B9600},     {19200, B19200},
                                                            {38400, B38400},   {57600, B57600},
                                                            {115200, B115200}, {230400, B230400}};
  for (const auto& [baud, code] : speeds) {
    Configure(baud);
    const termios mode = FarEndMode();
    EXPECT_EQ(cfgetospeed(&mode), code) << baud;
    CommSettings read_back;
    ASSERT_TRUE(SerialGetState(device_, read_back));
    EXPECT_EQ(read_back.BaudRate, baud);
  }

  CommSettings settings;
  ASSERT_TRUE(SerialGetState(device_, settings));
  for (const uint32_t odd : {0u, 4800u, 14400u, 460800u}) {
    settings.BaudRate = odd;
    EXPECT_FALSE(SerialSetState(device_, settings)) << odd;
  }
  const termios mode = FarEndMode();
  EXPECT_EQ(cfgetospeed(&mode), static_cast<speed_t>(B230400));
}

TEST_F(SerialPosixTest, FlowControlFlagsBecomeHardwareOrSoftwareHandshake) {
  Configure(115200, DCB_OUTX_CTS_FLOW | DCB_OUTX_DSR_FLOW);
  termios mode = FarEndMode();
  EXPECT_NE(mode.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(mode.c_iflag & (IXON | IXOFF), 0u);
  CommSettings read_back;
  ASSERT_TRUE(SerialGetState(device_, read_back));
  // DSR flow has no termios form but is kept as it was set.
  EXPECT_EQ(read_back.flags & (DCB_OUTX_CTS_FLOW | DCB_OUTX_DSR_FLOW),
            DCB_OUTX_CTS_FLOW | DCB_OUTX_DSR_FLOW);

  Configure(115200, DCB_OUTX | DCB_INX);
  mode = FarEndMode();
  EXPECT_EQ(mode.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(mode.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));

  Configure(115200, 0);
  mode = FarEndMode();
  EXPECT_EQ(mode.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(mode.c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(SerialPosixTest, UnsupportedFramesAreRefused) {
  CommSettings settings;
  ASSERT_TRUE(SerialGetState(device_, settings));
  settings.BaudRate = 19200;
  CommSettings bad = settings;
  bad.ByteSize = 9;
  EXPECT_FALSE(SerialSetState(device_, bad));
  bad = settings;
  bad.Parity = 3;  // mark
  EXPECT_FALSE(SerialSetState(device_, bad));
  bad = settings;
  bad.StopBits = 1;  // one and a half
  EXPECT_FALSE(SerialSetState(device_, bad));
}

TEST_F(SerialPosixTest, AllByteValuesPassBothWays) {
  Configure(115200);
  const std::vector<uint8_t> bytes = EveryByteValue();
  uint32_t written = 0;
  ASSERT_TRUE(SerialWrite(device_, bytes, written));
  ASSERT_TRUE(SerialFlush(device_));
  EXPECT_EQ(written, bytes.size());
  EXPECT_EQ(FarEndReceived(), bytes);

  FarEndSends(bytes);
  SetReadTimeout(2000);
  std::vector<uint8_t> received(bytes.size());
  uint32_t count = 0;
  ASSERT_TRUE(SerialRead(device_, received, count));
  EXPECT_EQ(count, bytes.size());
  EXPECT_EQ(received, bytes);
}

TEST_F(SerialPosixTest, AReadWithNothingArrivingReturnsZeroWhenItsTimeIsUp) {
  Configure(19200);
  SetReadTimeout(150);
  std::vector<uint8_t> buffer(16);
  uint32_t count = 99;
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(SerialRead(device_, buffer, count));
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_EQ(count, 0u);
  EXPECT_GE(elapsed.count(), 150);
  EXPECT_LT(elapsed.count(), 600);
}

TEST_F(SerialPosixTest, AReadEndsAsSoonAsTheBufferIsFullAndKeepsTheRestForLater) {
  Configure(19200);
  FarEndSends({1, 2, 3, 4, 5, 6});
  SetReadTimeout(5000);
  std::vector<uint8_t> buffer(4);
  uint32_t count = 0;
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(SerialRead(device_, buffer, count));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3, 4}));

  // A short answer is returned when the time is up.
  SetReadTimeout(50);
  ASSERT_TRUE(SerialRead(device_, buffer, count));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(buffer[0], 5);
  EXPECT_EQ(buffer[1], 6);
}

TEST_F(SerialPosixTest, AWriteThatCannotFinishInTimeReportsWhatWentOut) {
  Configure(19200);
  CommTimeouts timeouts;
  ASSERT_TRUE(SerialGetTimeouts(device_, timeouts));
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = 50;
  ASSERT_TRUE(SerialSetTimeouts(device_, timeouts));
  // The far end never reads: the line's queue fills and the rest waits.
  const std::vector<uint8_t> data(4 * 1024 * 1024, 0x5A);
  uint32_t written = 0;
  ASSERT_TRUE(SerialWrite(device_, data, written));
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, data.size());
}

TEST_F(SerialPosixTest, APortHeldOpenCannotBeOpenedAgainUntilClosed) {
  EXPECT_EQ(SerialOpen(PORT), nullptr);
  ASSERT_TRUE(SerialClose(device_));
  device_ = SerialOpen(PORT);
  EXPECT_NE(device_, nullptr);
}

TEST(SerialClosing, GivesTheTerminalBackAsItWasFound) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  termios found{};
  ASSERT_EQ(tcgetattr(master, &found), 0);
  SerialMapDevice(PORT, ptsname(master));
  SerialHandle device = SerialOpen(PORT);
  ASSERT_NE(device, nullptr);
  CommSettings settings;
  ASSERT_TRUE(SerialGetState(device, settings));
  settings.BaudRate = 115200;
  ASSERT_TRUE(SerialSetState(device, settings));
  EXPECT_TRUE(SerialClose(device));
  termios after{};
  ASSERT_EQ(tcgetattr(master, &after), 0);
  EXPECT_EQ(after.c_lflag, found.c_lflag);
  EXPECT_EQ(after.c_iflag, found.c_iflag);
  EXPECT_EQ(after.c_oflag, found.c_oflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&found));
  SerialResetDeviceMap();
  close(master);
}

TEST(SerialDeviceMap, PortsMapToTheirDefaultDeviceUnlessOverridden) {
  SerialResetDeviceMap();
  EXPECT_EQ(SerialDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath(9), "/dev/ttyS8");
  SerialMapDevice(2, "/dev/pts/77");
  SerialMapDevice(1, "");
  EXPECT_EQ(SerialDevicePath(2), "/dev/pts/77");
  EXPECT_EQ(SerialDevicePath(1), "");
  // A port with no device behind it does not open.
  EXPECT_EQ(SerialOpen(1), nullptr);
  SerialMapDevice(3, "/nonexistent/serial");
  EXPECT_EQ(SerialOpen(3), nullptr);
  SerialResetDeviceMap();
  EXPECT_EQ(SerialDevicePath(2), "/dev/ttyS1");
}

TEST(SerialHandles, EveryCallFailsOnANullHandle) {
  CommSettings settings;
  CommTimeouts timeouts;
  std::vector<uint8_t> buffer(4);
  uint32_t count = 0;
  EXPECT_FALSE(SerialGetState(nullptr, settings));
  EXPECT_FALSE(SerialSetState(nullptr, settings));
  EXPECT_FALSE(SerialGetTimeouts(nullptr, timeouts));
  EXPECT_FALSE(SerialSetTimeouts(nullptr, timeouts));
  EXPECT_FALSE(SerialSetupQueues(nullptr, 4096, 4096));
  EXPECT_FALSE(SerialRead(nullptr, buffer, count));
  EXPECT_FALSE(SerialWrite(nullptr, buffer, count));
  EXPECT_FALSE(SerialFlush(nullptr));
  EXPECT_FALSE(SerialClose(nullptr));
}

}  // namespace
}  // namespace pelox
