// The port layer over the simulated serial line, in virtual time.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "sim/camera/virtual_camera.h"
#include "sim/serial_line.h"
#include "sim/virtual_clock.h"
#include "transport/port/port.h"
#include "transport/port/port_settings.h"
#include "transport/port/port_state.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

constexpr uint32_t OPEN_BAUD = 19200;
constexpr uint8_t BYTE_SIZE = 8;
constexpr uint32_t QUEUE = 4096;
constexpr int32_t WAIT_360 = 360;

class PortOnSimulatedLine : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::VirtualClockReset();
    sim::SerialLineReset();
    PortResetState();
    sim::SerialLineAttach(1, camera_.Serial());
  }
  void TearDown() override {
    PortClose(&link_);
    sim::SerialLineReset();
    PortResetState();
  }
  int32_t OpenCom1() { return PortOpenCom(1, OPEN_BAUD, BYTE_SIZE, QUEUE, QUEUE, &link_); }
  int32_t Send(std::vector<uint8_t> bytes) { return PortWrite(&link_, bytes); }

  sim::VirtualCamera camera_;
  PortState link_;
};

TEST_F(PortOnSimulatedLine, ReadTimeoutsRunInVirtualTimeAndANothingReadIsZero) {
  ASSERT_EQ(OpenCom1(), 1);
  std::array<uint8_t, 1> byte{};
  uint64_t start = sim::VirtualNowMs();
  EXPECT_EQ(PortRead(&link_, byte, 0), 0);
  EXPECT_EQ(sim::VirtualNowMs() - start, 2u);
  start = sim::VirtualNowMs();
  EXPECT_EQ(PortRead(&link_, byte, WAIT_360), 0);
  EXPECT_EQ(sim::VirtualNowMs() - start, 3600u);
}

TEST_F(PortOnSimulatedLine, TheProbeIsAnsweredWithNakAfterTheLineTime) {
  ASSERT_EQ(OpenCom1(), 1);
  ASSERT_EQ(Send({0x00}), 1);
  std::array<uint8_t, 1> answer{};
  EXPECT_EQ(PortRead(&link_, answer, WAIT_360), 1);
  EXPECT_EQ(answer[0], 0x15);
  // Two bytes of 10 bits at 19200 bit/s take a little over a millisecond.
  EXPECT_EQ(sim::VirtualNowMs(), 1u);
}

TEST_F(PortOnSimulatedLine, BytesTakeTheirLineTimeAtTheConfiguredSpeed) {
  ASSERT_EQ(OpenCom1(), 1);
  const std::vector<uint8_t> junk(1920, 0x41);  // stray bytes the camera ignores
  ASSERT_EQ(PortWrite(&link_, junk), 1);
  EXPECT_EQ(sim::VirtualNowMs(), 1000u);
  ASSERT_EQ(PortSetBaud(1, 115200, link_.com_handle), 1);
  const std::vector<uint8_t> more(11520, 0x41);
  ASSERT_EQ(PortWrite(&link_, more), 1);
  EXPECT_EQ(sim::VirtualNowMs(), 2000u);
}

TEST_F(PortOnSimulatedLine, AfterTheSpeedRequestBothEndsMustMoveToTheNewSpeed) {
  ASSERT_EQ(OpenCom1(), 1);
  // Speed index 5; the host switches before it reads the ACK, which left
  // at 19200 bit/s and so reaches it as garbage.
  ASSERT_EQ(Send({0x1B, 0x53, 0x06, 0x00, 0x00, 0x11, 0x05, 0x00, 0x00, 0x00, 0x16, 0x00}), 1);
  ASSERT_EQ(PortSetBaud(1, 115200, link_.com_handle), 1);
  std::array<uint8_t, 1> byte{};
  ASSERT_EQ(PortRead(&link_, byte, WAIT_360), 1);
  EXPECT_EQ(byte[0], sim::GARBLED_BYTE);
  ASSERT_EQ(Send({0x00}), 1);
  ASSERT_EQ(PortRead(&link_, byte, WAIT_360), 1);
  EXPECT_EQ(byte[0], 0x15);
  ASSERT_EQ(PortSetBaud(1, 19200, link_.com_handle), 1);
  ASSERT_EQ(Send({0x00}), 1);
  EXPECT_EQ(PortRead(&link_, byte, WAIT_360), 0) << "the camera no longer hears 19200";
}

TEST_F(PortOnSimulatedLine, DrainCountsPendingBytesAndNeedsTheOpenPort) {
  ASSERT_EQ(OpenCom1(), 1);
  std::array<uint8_t, 15> buffer{};
  EXPECT_EQ(PortDrain(&link_, buffer, 1), 0);
  // A get of property 18 brings a 10-byte reply.
  ASSERT_EQ(Send({0x1B, 0x43, 0x02, 0x00, 0x01, 0x12, 0x13, 0x00}), 1);
  EXPECT_EQ(PortDrain(&link_, buffer, 1), 10);
  EXPECT_EQ(PortDrain(&link_, buffer, 1), 0);
  EXPECT_EQ(PortDrain(&link_, buffer, 0), PORT_FAILED);
  PortState other;
  other.port_type = 2;
  EXPECT_EQ(PortDrain(&other, buffer, 1), PORT_FAILED);
}

TEST_F(PortOnSimulatedLine, OnlyOneSerialPortOpensAndOnlyWhereACameraIs) {
  sim::VirtualCamera second;
  sim::SerialLineAttach(2, second.Serial());
  PortState other;
  EXPECT_EQ(PortOpenCom(3, OPEN_BAUD, BYTE_SIZE, QUEUE, QUEUE, &other), PORT_FAILED);
  ASSERT_EQ(OpenCom1(), 1);
  EXPECT_EQ(PortOpenCom(2, OPEN_BAUD, BYTE_SIZE, QUEUE, QUEUE, &other), PORT_FAILED);
  EXPECT_EQ(other.port_type, PORT_TYPE_NONE);
  EXPECT_EQ(sim::SerialLineHostBaud(2), 0u);
  EXPECT_EQ(PortOpenType(), 1);
}

TEST_F(PortOnSimulatedLine, ClosingTwiceSucceedsAndTheSamePortOpensAgain) {
  ASSERT_EQ(OpenCom1(), 1);
  EXPECT_EQ(PortClose(&link_), 1);
  EXPECT_EQ(PortClose(&link_), 1);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  EXPECT_EQ(link_.port_type, 1);
  EXPECT_EQ(OpenCom1(), 1);
}

TEST_F(PortOnSimulatedLine, SettingsReachTheDeviceAndStoragePortsIgnoreThem) {
  ASSERT_EQ(OpenCom1(), 1);
  EXPECT_EQ(sim::SerialLineHostBaud(1), OPEN_BAUD);
  ASSERT_EQ(PortSetFlowControl(1, FLOW_XONXOFF, link_.com_handle), 1);
  const uint32_t xonxoff = PortCommSettings().flags;
  EXPECT_EQ(xonxoff & (DCB_OUTX | DCB_INX), DCB_OUTX | DCB_INX);
  // An unknown mode writes the block back unchanged.
  EXPECT_EQ(PortSetFlowControl(1, 7, link_.com_handle), 1);
  EXPECT_EQ(PortCommSettings().flags, xonxoff);
  EXPECT_EQ(PortSetBaud(PORT_TYPE_STORAGE, 57600, nullptr), 1);
  EXPECT_EQ(PortSetFlowControl(PORT_TYPE_STORAGE, FLOW_HARDWARE, nullptr), 1);
  EXPECT_EQ(PortCommSettings().BaudRate, OPEN_BAUD);
  EXPECT_EQ(PortCommSettings().flags, xonxoff);
  EXPECT_EQ(sim::SerialLineHostBaud(1), OPEN_BAUD);
}

TEST_F(PortOnSimulatedLine, APortFailureMakesTheSerialCallsFail) {
  camera_.Faults().Add({.kind = sim::FaultKind::PORT_FAILURE,
                        .target = sim::FaultTarget::PROBE,
                        .argument_ms = 1000});
  ASSERT_EQ(OpenCom1(), 1);
  // The port breaks while the probe goes out: its flush already fails.
  EXPECT_EQ(Send({0x00}), PORT_FAILED);
  std::array<uint8_t, 1> byte{};
  EXPECT_EQ(PortRead(&link_, byte, 1), PORT_FAILED);
  EXPECT_EQ(Send({0x00}), PORT_FAILED);
  sim::VirtualAdvanceMs(1000);
  EXPECT_EQ(Send({0x00}), 1);
  EXPECT_EQ(PortRead(&link_, byte, 1), 1);
  EXPECT_EQ(byte[0], 0x15);
}

}  // namespace
}  // namespace pelox
