#include "sim/serial_line.h"

#include <algorithm>
#include <array>
#include <deque>
#include <memory>

#include "platform/serial.h"
#include "sim/virtual_clock.h"

namespace pelox {

// The simulated backend's device: the port it stands for.
struct SerialDevice {
  int32_t port = 0;
};

namespace sim {
namespace {

constexpr uint64_t NS_PER_MS = 1000000;
constexpr uint64_t BITS_PER_BYTE = 10;  // start bit, 8 data bits, stop bit
constexpr int32_t MAX_PORT = 9;
// What a port reports before the host configures it.
constexpr CommSettings DRIVER_DEFAULTS{9600, 8, SERIAL_PARITY_NONE, SERIAL_ONE_STOP_BIT, 0};

struct Arrival {
  uint64_t time_ns;
  uint8_t byte;
};

struct Line {
  SerialFace* camera = nullptr;
  std::unique_ptr<SerialDevice> device;  // while the host has the port open
  CommSettings settings = DRIVER_DEFAULTS;
  CommTimeouts timeouts;
  std::deque<Arrival> inbox;      // the camera's bytes on their way to the host
  uint64_t camera_free_ns = 0;    // the camera's transmitter is busy until then
  uint64_t last_delivery_ns = 0;  // the host's last bytes reached the camera then
};

std::array<Line, MAX_PORT + 1> lines;

// Virtual time keeps milliseconds; the lines keep the nanoseconds within the
// current millisecond, so that many short transfers add up exactly.
uint64_t fine_ms = 0;
uint64_t fine_ns_in_ms = 0;

uint64_t NowNs() {
  const uint64_t now_ms = VirtualNowMs();
  return now_ms * NS_PER_MS + (now_ms == fine_ms ? fine_ns_in_ms : 0);
}

void AdvanceTo(uint64_t time_ns) {
  if (time_ns <= NowNs()) return;
  const uint64_t target_ms = time_ns / NS_PER_MS;
  const uint64_t now_ms = VirtualNowMs();
  if (target_ms > now_ms) VirtualAdvanceMs(target_ms - now_ms);
  fine_ms = target_ms;
  fine_ns_in_ms = time_ns % NS_PER_MS;
}

// How long `count` bytes take on the line, rounded up to whole nanoseconds.
uint64_t LineTimeNs(uint64_t count, uint32_t baud) {
  constexpr uint64_t NS_PER_SECOND = 1000 * NS_PER_MS;
  return baud == 0 ? 0 : (count * BITS_PER_BYTE * NS_PER_SECOND + baud - 1) / baud;
}

Line* LineOf(SerialHandle device) {
  if (device == nullptr || device->port < 1 || device->port > MAX_PORT) return nullptr;
  Line& line = lines[static_cast<size_t>(device->port)];
  return line.device.get() == device ? &line : nullptr;
}

// The line of an open device whose port works at this moment.
Line* WorkingLine(SerialHandle device) {
  Line* line = LineOf(device);
  if (line == nullptr || line->camera->PortFailing(VirtualNowMs())) return nullptr;
  return line;
}

// Puts the camera's next ready bytes on the line; false when none are
// ready by `until_ns`.
bool PumpOne(Line& line, uint64_t until_ns) {
  const std::optional<uint64_t> next_ms = line.camera->NextReadyMs();
  if (!next_ms || *next_ms * NS_PER_MS > until_ns) return false;
  std::optional<LineBytes> sent = line.camera->TakeReady(*next_ms);
  if (!sent) return false;
  const uint64_t start_ns =
      std::max({sent->ready_ms * NS_PER_MS, line.camera_free_ns, line.last_delivery_ns});
  const bool heard = sent->baud == line.settings.BaudRate;
  for (size_t i = 0; i < sent->bytes.size(); ++i) {
    line.inbox.push_back(
        Arrival{start_ns + LineTimeNs(i + 1, sent->baud), heard ? sent->bytes[i] : GARBLED_BYTE});
  }
  line.camera_free_ns = start_ns + LineTimeNs(sent->bytes.size(), sent->baud);
  return true;
}

size_t ArrivedBy(const Line& line, uint64_t time_ns) {
  return static_cast<size_t>(std::count_if(line.inbox.begin(), line.inbox.end(),
                                           [&](const Arrival& a) { return a.time_ns <= time_ns; }));
}

}  // namespace

void SerialLineAttach(int32_t port, SerialFace& camera) {
  if (port < 1 || port > MAX_PORT) return;
  lines[static_cast<size_t>(port)] = Line{};
  lines[static_cast<size_t>(port)].camera = &camera;
}

void SerialLineDetach(int32_t port) {
  if (port < 1 || port > MAX_PORT) return;
  lines[static_cast<size_t>(port)] = Line{};
}

void SerialLineReset() {
  for (Line& line : lines) line = Line{};
  fine_ms = 0;
  fine_ns_in_ms = 0;
}

uint32_t SerialLineHostBaud(int32_t port) {
  if (port < 1 || port > MAX_PORT) return 0;
  const Line& line = lines[static_cast<size_t>(port)];
  return line.device ? line.settings.BaudRate : 0;
}

}  // namespace sim

using sim::Line;

SerialHandle SerialOpen(int32_t port) {
  if (port < 1 || port > sim::MAX_PORT) return nullptr;
  Line& line = sim::lines[static_cast<size_t>(port)];
  if (line.camera == nullptr || line.device || line.camera->PortFailing(sim::VirtualNowMs())) {
    return nullptr;
  }
  // What the camera sent while the port was closed is lost.
  while (sim::PumpOne(line, sim::NowNs())) {
  }
  line.inbox.clear();
  line.device = std::make_unique<SerialDevice>(SerialDevice{port});
  return line.device.get();
}

bool SerialGetState(SerialHandle device, CommSettings& settings) {
  const Line* line = sim::WorkingLine(device);
  if (line == nullptr) return false;
  settings = line->settings;
  return true;
}

bool SerialSetState(SerialHandle device, const CommSettings& settings) {
  Line* line = sim::WorkingLine(device);
  if (line == nullptr) return false;
  line->settings = settings;
  return true;
}

bool SerialGetTimeouts(SerialHandle device, CommTimeouts& timeouts) {
  const Line* line = sim::WorkingLine(device);
  if (line == nullptr) return false;
  timeouts = line->timeouts;
  return true;
}

bool SerialSetTimeouts(SerialHandle device, const CommTimeouts& timeouts) {
  Line* line = sim::WorkingLine(device);
  if (line == nullptr) return false;
  line->timeouts = timeouts;
  return true;
}

bool SerialSetupQueues(SerialHandle device, uint32_t /*in_queue*/, uint32_t /*out_queue*/) {
  return sim::WorkingLine(device) != nullptr;
}

bool SerialRead(SerialHandle device, std::span<uint8_t> buffer, uint32_t& received) {
  received = 0;
  Line* line = sim::WorkingLine(device);
  if (line == nullptr) return false;
  const uint64_t now_ns = sim::NowNs();
  const uint64_t wait_ms = line->timeouts.ReadTotalTimeoutConstant +
                           uint64_t{line->timeouts.ReadTotalTimeoutMultiplier} * buffer.size();
  const uint64_t deadline_ns = now_ns + wait_ms * sim::NS_PER_MS;
  while (sim::ArrivedBy(*line, deadline_ns) < buffer.size() && sim::PumpOne(*line, deadline_ns)) {
  }
  const size_t count = std::min(sim::ArrivedBy(*line, deadline_ns), buffer.size());
  // A read ends when its buffer is full, else when its time is up.
  const uint64_t end_ns = count == buffer.size() && count > 0
                              ? std::max(now_ns, line->inbox[count - 1].time_ns)
                              : deadline_ns;
  for (size_t i = 0; i < count; ++i) buffer[i] = line->inbox[i].byte;
  line->inbox.erase(line->inbox.begin(), line->inbox.begin() + static_cast<std::ptrdiff_t>(count));
  sim::AdvanceTo(end_ns);
  received = static_cast<uint32_t>(count);
  return true;
}

bool SerialWrite(SerialHandle device, std::span<const uint8_t> data, uint32_t& written) {
  written = 0;
  Line* line = sim::WorkingLine(device);
  if (line == nullptr) return false;
  // The camera may change its speed with bytes already due: send those first.
  while (sim::PumpOne(*line, sim::NowNs())) {
  }
  const uint64_t end_ns = sim::NowNs() + sim::LineTimeNs(data.size(), line->settings.BaudRate);
  sim::AdvanceTo(end_ns);
  line->last_delivery_ns = end_ns;
  line->camera->Receive(data, line->settings.BaudRate, end_ns / sim::NS_PER_MS);
  written = static_cast<uint32_t>(data.size());
  return true;
}

bool SerialFlush(SerialHandle device) { return sim::WorkingLine(device) != nullptr; }

bool SerialClose(SerialHandle device) {
  Line* line = sim::LineOf(device);
  if (line == nullptr) return false;
  line->device.reset();
  line->inbox.clear();
  return true;
}

}  // namespace pelox
