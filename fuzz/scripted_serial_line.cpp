#include "fuzz/scripted_serial_line.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/serial.h"

namespace pelox {

struct SerialDevice {};

namespace {

SerialDevice device;
std::span<const uint8_t> script;
uint32_t now_ms = 0;

}  // namespace

void fuzz::ScriptSerialLine(std::span<const uint8_t> incoming) { script = incoming; }

SerialHandle SerialOpen(int32_t /*port*/) { return &device; }
bool SerialGetState(SerialHandle, CommSettings&) { return true; }
bool SerialSetState(SerialHandle, const CommSettings&) { return true; }
bool SerialGetTimeouts(SerialHandle, CommTimeouts&) { return true; }
bool SerialSetTimeouts(SerialHandle, const CommTimeouts&) { return true; }
bool SerialSetupQueues(SerialHandle, uint32_t, uint32_t) { return true; }
bool SerialFlush(SerialHandle) { return true; }
bool SerialClose(SerialHandle) { return true; }

bool SerialRead(SerialHandle, std::span<uint8_t> buffer, uint32_t& received) {
  const size_t count = std::min(buffer.size(), script.size());
  std::copy_n(script.begin(), count, buffer.begin());
  script = script.subspan(count);
  received = static_cast<uint32_t>(count);
  return true;
}

bool SerialWrite(SerialHandle, std::span<const uint8_t> data, uint32_t& written) {
  written = static_cast<uint32_t>(data.size());
  return true;
}

uint32_t ClockTickCount() { return now_ms; }
void ClockSleep(uint32_t milliseconds) { now_ms += milliseconds; }
int64_t ClockCalendarSeconds() { return 0; }

}  // namespace pelox
