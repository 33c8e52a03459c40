#pragma once
// A link and a virtual camera on simulated COM1, in virtual time.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/camera_link.h"
#include "link/error_text.h"
#include "link/link_record.h"
#include "sim/camera/virtual_camera.h"
#include "sim/serial_line.h"
#include "sim/virtual_clock.h"
#include "transport/port/port.h"

namespace pelox {

inline constexpr int32_t CAMERA_PORT = 1;
inline constexpr int32_t SPEED_115200 = 5;

class SerialCameraTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::VirtualClockReset(1000);
    sim::SerialLineReset();
    PortResetState();
    LinkDestroyAll();
    sim::SerialLineAttach(CAMERA_PORT, camera.Serial());
    link = LinkCreate();
    ASSERT_NE(link, nullptr);
    ASSERT_EQ(LinkSetSpeed(SPEED_115200, link), LINK_OK);
  }

  void TearDown() override {
    LinkDestroyAll();
    sim::SerialLineReset();
    PortResetState();
  }

  // Connected and ready, with the camera's log cleared of the connection.
  void Connect() {
    ASSERT_EQ(LinkOpenPort(CAMERA_PORT, link), CAMERA_PORT);
    ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK) << LinkErrorText(LinkLastError(link));
    ASSERT_EQ(link->state, LINK_STATE_READY);
    camera.Log().Clear();
  }

  void AddFault(sim::FaultKind kind, sim::FaultTarget target, int32_t id = -1,
                uint32_t occurrence = 1, uint32_t times = 1) {
    camera.Faults().Add(sim::FaultRule{.kind = kind,
                                       .target = target,
                                       .id = id,
                                       .occurrence = occurrence,
                                       .times = times,
                                       .argument_ms = 0});
  }

  // Units the host sent whose first byte is `first`, in order.
  std::vector<std::vector<uint8_t>> HostUnits(uint8_t first) {
    std::vector<std::vector<uint8_t>> units;
    for (const sim::LogEntry& entry : camera.Log().Entries()) {
      if (entry.direction == sim::Direction::FROM_HOST && !entry.bytes.empty() &&
          entry.bytes[0] == first) {
        units.push_back(entry.bytes);
      }
    }
    return units;
  }

  // Command frames the host sent with the given request class.
  size_t RequestsSent(uint8_t request_class) {
    size_t count = 0;
    for (const std::vector<uint8_t>& unit : HostUnits(0x1B)) {
      if (unit.size() > 4 && unit[1] == 0x43 && unit[4] == request_class) ++count;
    }
    return count;
  }

  size_t ControlBytesSent(uint8_t byte) {
    size_t count = 0;
    for (const std::vector<uint8_t>& unit : HostUnits(byte)) {
      if (unit.size() == 1) ++count;
    }
    return count;
  }

  std::string Trace() { return camera.Log().Describe(); }

  sim::VirtualCamera camera;
  CameraLink* link = nullptr;
};

}  // namespace pelox
