// The port layer's serial calls against a scripted serial backend: which
// settings it writes, and how it treats failures and short writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/serial.h"
#include "transport/port/port.h"
#include "transport/port/port_state.h"

namespace pelox {

struct SerialDevice {
  int32_t port;
};

namespace {

// What the scripted driver holds and does.
struct Driver {
  SerialDevice device{0};
  bool opened = false;
  CommSettings state;     // as GetCommState reports it
  CommSettings last_set;  // the last block SetCommState received
  CommTimeouts timeouts;
  uint32_t in_queue = 0;
  uint32_t out_queue = 0;
  std::string failing_call;           // this call fails
  uint32_t write_limit = 0xFFFFFFFF;  // bytes a write gets out before its time is up
  std::vector<uint8_t> written;
  bool closed = false;
};
Driver driver;

bool Succeeds(const char* call) { return driver.failing_call != call; }

}  // namespace

SerialHandle SerialOpen(int32_t port) {
  if (!Succeeds("open")) return nullptr;
  driver.device.port = port;
  driver.opened = true;
  return &driver.device;
}
bool SerialGetState(SerialHandle, CommSettings& settings) {
  settings = driver.state;
  return Succeeds("get_state");
}
bool SerialSetState(SerialHandle, const CommSettings& settings) {
  driver.last_set = settings;
  return Succeeds("set_state");
}
bool SerialGetTimeouts(SerialHandle, CommTimeouts& timeouts) {
  timeouts = driver.timeouts;
  return Succeeds("get_timeouts");
}
bool SerialSetTimeouts(SerialHandle, const CommTimeouts& timeouts) {
  if (!Succeeds("set_timeouts")) return false;
  driver.timeouts = timeouts;
  return true;
}
bool SerialSetupQueues(SerialHandle, uint32_t in_queue, uint32_t out_queue) {
  driver.in_queue = in_queue;
  driver.out_queue = out_queue;
  return Succeeds("setup_queues");
}
bool SerialRead(SerialHandle, std::span<uint8_t>, uint32_t& received) {
  received = 0;
  return Succeeds("read");
}
bool SerialWrite(SerialHandle, std::span<const uint8_t> data, uint32_t& written) {
  written = std::min<uint32_t>(static_cast<uint32_t>(data.size()), driver.write_limit);
  const std::span<const uint8_t> sent = data.first(written);
  driver.written.insert(driver.written.end(), sent.begin(), sent.end());
  return Succeeds("write");
}
bool SerialFlush(SerialHandle) { return Succeeds("flush"); }
bool SerialClose(SerialHandle) {
  driver.closed = true;
  return Succeeds("close");
}

namespace {

constexpr int32_t PORT = 2;

class PortSerialCallsTest : public testing::Test {
 protected:
  void SetUp() override {
    PortResetState();
    driver = Driver{};
    // The driver's block carries members the port layer must keep.
    driver.state = CommSettings{9600, 7, 2, 2, DCB_OUTX | 0x1u};
    driver.timeouts = CommTimeouts{5, 6, 7, 8, 9};
  }
  void TearDown() override { PortResetState(); }

  int32_t Open() { return PortOpenCom(PORT, 19200, 8, 4096, 4096, &link_); }

  PortState link_;
};

TEST_F(PortSerialCallsTest, OpeningSetsTheLineAndWriteTimeoutsAndKeepsTheDriversOtherMembers) {
  ASSERT_EQ(Open(), PORT);
  EXPECT_EQ(driver.device.port, PORT);
  EXPECT_EQ(driver.last_set.BaudRate, 19200u);
  EXPECT_EQ(driver.last_set.ByteSize, 8);
  EXPECT_EQ(driver.last_set.Parity, SERIAL_PARITY_NONE);
  EXPECT_EQ(driver.last_set.StopBits, SERIAL_ONE_STOP_BIT);
  EXPECT_EQ(driver.last_set.flags, DCB_OUTX | 0x1u);
  EXPECT_EQ(driver.timeouts.WriteTotalTimeoutMultiplier, 100u);
  EXPECT_EQ(driver.timeouts.WriteTotalTimeoutConstant, 300u);
  EXPECT_EQ(driver.timeouts.ReadIntervalTimeout, 5u);
  EXPECT_EQ(driver.timeouts.ReadTotalTimeoutConstant, 7u);
  EXPECT_EQ(driver.in_queue, 4096u);
  EXPECT_EQ(driver.out_queue, 4096u);
  EXPECT_EQ(link_.port_type, PORT);
  EXPECT_EQ(link_.com_handle, &driver.device);
  EXPECT_EQ(PortOpenType(), PORT);
}

TEST_F(PortSerialCallsTest, AFailingStepReleasesTheDeviceAndLeavesTheStateAsItWas) {
  for (const char* call :
       {"get_state", "set_state", "get_timeouts", "set_timeouts", "setup_queues"}) {
    SetUp();
    driver.failing_call = call;
    EXPECT_EQ(Open(), PORT_FAILED) << call;
    EXPECT_TRUE(driver.closed) << call;
    EXPECT_EQ(link_.port_type, PORT_TYPE_NONE) << call;
    EXPECT_EQ(link_.com_handle, nullptr) << call;
    EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE) << call;
  }
}

TEST_F(PortSerialCallsTest, OnlyComOneToNineAreOpened) {
  EXPECT_EQ(PortOpenCom(0, 19200, 8, 4096, 4096, &link_), PORT_FAILED);
  EXPECT_EQ(PortOpenCom(10, 19200, 8, 4096, 4096, &link_), PORT_FAILED);
  EXPECT_FALSE(driver.opened);
}

TEST_F(PortSerialCallsTest, ReadTimeoutsAreTenMillisecondUnitsWithZeroAndBelowMeaningTwo) {
  ASSERT_EQ(Open(), PORT);
  std::vector<uint8_t> buffer(8);
  for (const auto& [timeout, expected_ms] :
       std::vector<std::pair<int32_t, uint32_t>>{{0, 2}, {1, 10}, {360, 3600}, {-5, 2}}) {
    EXPECT_EQ(PortRead(&link_, buffer, timeout), 0);
    EXPECT_EQ(driver.timeouts.ReadTotalTimeoutConstant, expected_ms) << timeout;
    EXPECT_EQ(driver.timeouts.ReadIntervalTimeout, 0u);
    EXPECT_EQ(driver.timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(driver.timeouts.WriteTotalTimeoutMultiplier, 100u);
  }
  driver.failing_call = "set_timeouts";
  EXPECT_EQ(PortRead(&link_, buffer, 1), PORT_FAILED);
}

TEST_F(PortSerialCallsTest, AWriteCountsOnlyWhenEveryByteWentOut) {
  ASSERT_EQ(Open(), PORT);
  const std::vector<uint8_t> data = {1, 2, 3, 4, 5};
  EXPECT_EQ(PortWrite(&link_, data), 1);
  EXPECT_EQ(driver.written, data);

  driver.write_limit = 3;
  EXPECT_EQ(PortWrite(&link_, data), PORT_FAILED);

  driver.write_limit = 0xFFFFFFFF;
  driver.failing_call = "flush";
  EXPECT_EQ(PortWrite(&link_, data), PORT_FAILED);
}

TEST_F(PortSerialCallsTest, ACloseThatFailsIsReportedAndStillReleasesThePort) {
  ASSERT_EQ(Open(), PORT);
  driver.failing_call = "close";
  EXPECT_EQ(PortClose(&link_), PORT_FAILED);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  EXPECT_EQ(link_.com_handle, nullptr);
  EXPECT_EQ(link_.port_type, PORT);
  driver.closed = false;
  EXPECT_EQ(PortClose(&link_), 1);
  EXPECT_FALSE(driver.closed);
}

}  // namespace
}  // namespace pelox
