// Finding the camera's port, the handshake, the speed change and
// disconnection, against the virtual camera on simulated serial lines.
#include <gtest/gtest.h>

#include <atomic>

#include "link/camera_link.h"
#include "serial_camera_fixture.h"
#include "sim/serial_line.h"
#include "sim/virtual_clock.h"
#include "transport/port/port.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

using ConnectTest = SerialCameraTest;

const std::vector<uint8_t> SPEED_REQUEST_115200{0x1B, 0x53, 0x06, 0x00, 0x00, 0x11,
                                                0x05, 0x00, 0x00, 0x00, 0x16, 0x00};
const std::vector<uint8_t> GET_READY{0x1B, 0x43, 0x02, 0x00, 0x01, 0x12, 0x13, 0x00};

// What answers on COM1 before the camera on COM2.
struct Stranger {
  const char* name;
  sim::FaultKind fault;  // on every unit of the target it is sent
  sim::FaultTarget target;
  uint64_t shortest_ms;
  uint64_t longest_ms;
};

class SearchTest : public SerialCameraTest, public testing::WithParamInterface<Stranger> {};

// A port is the camera's only once it answered a real request there.
TEST_P(SearchTest, PassesAStrangerAndFindsTheCameraOnTheNextPort) {
  const Stranger& stranger = GetParam();
  sim::VirtualCamera other;
  other.Faults().Add({.kind = stranger.fault, .target = stranger.target, .times = UINT32_MAX});
  sim::SerialLineReset();
  sim::SerialLineAttach(1, other.Serial());
  sim::SerialLineAttach(2, camera.Serial());

  const uint64_t start = sim::VirtualNowMs();
  int32_t port_type = PORT_TYPE_NONE;
  EXPECT_EQ(LinkOpenPortChecked(LINK_PORT_AUTOMATIC, port_type, link), LINK_OK);
  EXPECT_EQ(port_type, 2);
  EXPECT_EQ(link->port_type, 2);
  EXPECT_EQ(link->state, LINK_STATE_CLOSED);
  EXPECT_EQ(link->last_error, LINK_OK);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE) << "the port found is left closed";
  EXPECT_GE(sim::VirtualNowMs() - start, stranger.shortest_ms);
  EXPECT_LT(sim::VirtualNowMs() - start, stranger.longest_ms);
}

INSTANTIATE_TEST_SUITE_P(
    OnComOne, SearchTest,
    testing::Values(
        // Four handshake rounds: two reads of 3.6 s, then one each.
        Stranger{"Silent", sim::FaultKind::UNPLUG, sim::FaultTarget::ANY, 18000, 25000},
        // It takes the probe's NAK for its own and NAKs the get too.
        Stranger{"NakingEveryUnit", sim::FaultKind::NAK, sim::FaultTarget::ANY, 0, 4000},
        // The handshake passes; the get is never answered.
        Stranger{"IgnoringEveryPacket", sim::FaultKind::DROP_REPLY, sim::FaultTarget::GET, 0,
                 4000}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(ConnectTest, AutomaticSearchWithoutCameraReportsNoPort) {
  sim::SerialLineReset();
  int32_t port_type = PORT_TYPE_NONE;
  // Unless the storage pipe was set up, its camera is unknown, not absent.
  EXPECT_EQ(LinkOpenPortChecked(LINK_PORT_AUTOMATIC, port_type, link),
            LINK_ERROR_STORAGE_NOT_INITIALISED);
  EXPECT_EQ(LinkOpenPortChecked(PORT_TYPE_STORAGE, port_type, link),
            LINK_ERROR_STORAGE_NOT_INITIALISED);
  StorageTransportInit(STORAGE_INIT_REQUEST);
  EXPECT_EQ(LinkOpenPortChecked(LINK_PORT_AUTOMATIC, port_type, link), LINK_ERROR_NO_PORT);
  EXPECT_EQ(port_type, PORT_TYPE_NONE);
  EXPECT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, link), PORT_TYPE_NONE);
  EXPECT_EQ(link->last_error, LINK_ERROR_NO_PORT);
  EXPECT_EQ(link->state, LINK_STATE_CLOSED);
  StorageResetState();
}

// As a host that ended without disconnecting leaves it, at the link's speed.
TEST_F(ConnectTest, SearchSendsACameraFoundAtAnotherSpeedBackForTheConnection) {
  Connect();
  PortClose(link);
  link->state = LINK_STATE_CLOSED;
  ASSERT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, link), CAMERA_PORT);
  EXPECT_EQ(camera.Serial().Baud(), 19200u) << Trace();
  const uint64_t start = sim::VirtualNowMs();
  EXPECT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK) << Trace();
  EXPECT_LT(sim::VirtualNowMs() - start, 1000u) << "no handshake rounds at the wrong speed";
}

TEST_F(ConnectTest, ConnectRequestsTheSpeedAndChecksItWithTheReadyProperty) {
  ASSERT_EQ(LinkOpenPort(CAMERA_PORT, link), CAMERA_PORT);
  ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_READY);
  EXPECT_EQ(link->speed_checked, 1);
  EXPECT_EQ(link->vendor_code, 1140);
  EXPECT_EQ(camera.Serial().Baud(), 115200u);
  EXPECT_EQ(sim::SerialLineHostBaud(CAMERA_PORT), 115200u);
  const std::vector<std::vector<uint8_t>> commands = HostUnits(0x1B);
  ASSERT_EQ(commands.size(), 2u) << Trace();
  EXPECT_EQ(commands[0], SPEED_REQUEST_115200);
  EXPECT_EQ(commands[1], GET_READY);
}

struct Disconnect {
  const char* name;
  int32_t state_before;  // the link's state when it is disconnected
  bool camera_unplugged;
  bool speed_ack_dropped;
  bool stop_requested;
  uint64_t longest_ms;
  uint32_t camera_baud_after;
};

class DisconnectTest : public SerialCameraTest, public testing::WithParamInterface<Disconnect> {};

// Every disconnect closes the port within its bound; only a camera that
// heard the speed request is back at the opening speed.
TEST_P(DisconnectTest, ClosesThePortWithinItsBound) {
  const Disconnect& disconnect = GetParam();
  Connect();
  if (disconnect.camera_unplugged) camera.Endpoint().Unplug(sim::VirtualNowMs());
  if (disconnect.speed_ack_dropped) {
    AddFault(sim::FaultKind::DROP_REPLY, sim::FaultTarget::SPEED, -1, 1, 100);
  }
  std::atomic<int> stop{disconnect.stop_requested ? 1 : 0};
  LinkSetStopFlag(&stop, link);
  link->state = disconnect.state_before;

  const uint64_t start = sim::VirtualNowMs();
  EXPECT_EQ(LinkConnect(LINK_DISCONNECT, link), LINK_OK);
  EXPECT_LE(sim::VirtualNowMs() - start, disconnect.longest_ms);
  EXPECT_EQ(link->state, LINK_STATE_CLOSED);
  EXPECT_EQ(link->speed_index, 0);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  EXPECT_EQ(camera.Serial().Baud(), disconnect.camera_baud_after) << Trace();
  EXPECT_EQ(LinkConnect(LINK_DISCONNECT, link), LINK_OK) << "a closed link disconnects at once";
}

INSTANTIATE_TEST_SUITE_P(
    EachLink, DisconnectTest,
    testing::Values(
        Disconnect{"Healthy", LINK_STATE_READY, false, false, false, 200, 19200},
        Disconnect{"CameraGone", LINK_STATE_CAMERA_GONE, true, false, false, 600, 115200},
        Disconnect{"BrokenWithCameraUnplugged", LINK_STATE_BROKEN, true, false, false, 600, 115200},
        Disconnect{"ReadyButNeverAcknowledging", LINK_STATE_READY, false, true, false, 3200,
                   115200},
        Disconnect{"StoppedByTheFrontEnd", LINK_STATE_READY, false, true, true, 100, 115200}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

struct FailedConnect {
  const char* name;
  sim::FaultKind fault;  // on every unit of the target
  sim::FaultTarget target;
  int32_t code;
  uint64_t shortest_ms;
  uint64_t longest_ms;
};

class FailedConnectTest : public SerialCameraTest,
                          public testing::WithParamInterface<FailedConnect> {};

// A connection gives up within 20 s of the handshake, the retries of its
// exchanges included; the handshake has a bound of its own.
TEST_P(FailedConnectTest, EndsWithinItsBound) {
  const FailedConnect& failure = GetParam();
  camera.Faults().Add({.kind = failure.fault, .target = failure.target, .times = UINT32_MAX});
  ASSERT_EQ(LinkOpenPort(CAMERA_PORT, link), CAMERA_PORT) << "an explicit port only has to open";
  const uint64_t start = sim::VirtualNowMs();
  EXPECT_EQ(LinkConnect(LINK_CONNECT, link), failure.code) << Trace();
  EXPECT_GE(sim::VirtualNowMs() - start, failure.shortest_ms);
  EXPECT_LE(sim::VirtualNowMs() - start, failure.longest_ms);
  EXPECT_EQ(link->state, LINK_STATE_BROKEN);
  EXPECT_FALSE(link->own_deadline) << "the bound ends with the connection";
}

INSTANTIATE_TEST_SUITE_P(
    EachCamera, FailedConnectTest,
    testing::Values(
        // Two reads of 3.6 s in the first round, one in each of the other
        // three, then one probe at each other speed.
        FailedConnect{"NeverAnsweringTheProbe", sim::FaultKind::UNPLUG, sim::FaultTarget::ANY,
                      LINK_ERROR_NO_ANSWER, 18000, 21000},
        FailedConnect{"IgnoringEveryPacketAfterTheHandshake", sim::FaultKind::DROP_REPLY,
                      sim::FaultTarget::SPEED, LINK_ERROR_NO_ANSWER, 19000, 20100}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(ConnectTest, ReconnectReopensTheSamePortAndRequestsAnAbort) {
  Connect();
  link->state = LINK_STATE_BROKEN;
  EXPECT_EQ(LinkReconnect(link), LINK_OK) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_READY);
  EXPECT_EQ(link->port_type, CAMERA_PORT);
  EXPECT_EQ(link->speed_index, SPEED_115200);
  EXPECT_EQ(link->abort_requested, 1);
  EXPECT_EQ(camera.Serial().Baud(), 115200u);
}

}  // namespace
}  // namespace pelox
