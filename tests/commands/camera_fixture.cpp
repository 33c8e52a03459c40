#include "tests/commands/camera_fixture.h"

#include "link/error_text.h"
#include "link/link_record.h"
#include "platform/clock.h"
#include "sim/camera/wire.h"
#include "sim/serial_line.h"
#include "sim/virtual_clock.h"
#include "transport/byte_order.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr int32_t CAMERA_PORT = 1;
constexpr int32_t FAST_SPEED_INDEX = 5;
constexpr uint8_t REQUEST_GET = 1;

}  // namespace

std::vector<uint8_t> Le32Bytes(uint32_t value) {
  std::vector<uint8_t> bytes(4);
  StoreLe32(std::span(bytes).first<4>(), value);
  return bytes;
}

void PrintTo(const WireRequest& request, std::ostream* out) {
  *out << "{class " << int{request.request_class} << ", " << int{request.id} << ", " << std::hex;
  for (const uint8_t byte : request.rest) *out << ' ' << int{byte};
  *out << std::dec << '}';
}

void CommandsOnCamera::SetUp() {
  sim::VirtualClockReset();
  sim::SerialLineReset();
  PortResetState();
  sim::SerialLineAttach(CAMERA_PORT, camera_.Serial());
  Connect();
}

void CommandsOnCamera::Connect() {
  link_ = LinkCreate();
  ASSERT_NE(link_, nullptr);
  ASSERT_EQ(LinkSetSpeed(FAST_SPEED_INDEX, link_), LINK_OK);
  ASSERT_EQ(LinkOpenPort(CAMERA_PORT, link_), CAMERA_PORT);
  ASSERT_EQ(LinkConnect(LINK_CONNECT, link_), LINK_OK)
      << LinkErrorText(LinkLastError(link_)) << "\n"
      << camera_.Log().Describe();
  camera_.Log().Clear();
}

void CommandsOnCamera::TearDown() {
  if (link_ != nullptr) {
    LinkConnect(LINK_DISCONNECT, link_);
    LinkDelete(link_);
  }
  sim::SerialLineReset();
  PortResetState();
}

std::vector<WireRequest> CommandsOnCamera::TakeRequests() {
  std::vector<WireRequest> requests;
  for (const sim::LogEntry& entry : camera_.Log().Entries()) {
    if (entry.direction != sim::Direction::FROM_HOST || entry.verdict != sim::Verdict::ACCEPTED) {
      continue;
    }
    const auto frame = sim::DecodeFrame(entry.bytes);
    if (!frame || frame->type != sim::FRAME_COMMAND ||
        frame->code_or_sequence != sim::COMMAND_CAMERA || frame->payload.size() < 2) {
      continue;
    }
    WireRequest request{
        frame->payload[0], frame->payload[1], {frame->payload.begin() + 2, frame->payload.end()}};
    // The link checks readiness by itself after actions and reconnections.
    if (request == WireRequest{REQUEST_GET, PROPERTY_READY, {}}) continue;
    requests.push_back(std::move(request));
  }
  camera_.Log().Clear();
  return requests;
}

void CommandsOnCamera::Settle() {
  EXPECT_EQ(LinkEnsureReady(link_), LINK_OK);
  camera_.Log().Clear();
}

uint32_t CommandsOnCamera::BusyMsLeft() const { return link_->busy_deadline - ClockTickCount(); }

}  // namespace pelox
