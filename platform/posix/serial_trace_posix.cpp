#include <atomic>

#include "platform/serial_trace.h"

namespace pelox {
namespace {

std::atomic<SerialTraceSink> trace_sink{nullptr};

}  // namespace

void SerialSetTrace(SerialTraceSink sink) { trace_sink = sink; }

void SerialTraceBytes(TraceDirection direction, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  if (const SerialTraceSink sink = trace_sink.load(); sink != nullptr) sink(direction, bytes);
}

}  // namespace pelox
