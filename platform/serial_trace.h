#pragma once
// A copy of every byte read from or written to a serial device, for a
// support trace. POSIX only; nothing is traced until a front end asks.
#include <cstdint>
#include <span>

namespace pelox {

enum class TraceDirection { TO_DEVICE, FROM_DEVICE };

// Called from whichever thread reads or writes; it must not block for long.
using SerialTraceSink = void (*)(TraceDirection direction, std::span<const uint8_t> bytes);

void SerialSetTrace(SerialTraceSink sink);
// The backend's side: hands the bytes to the sink, if there is one.
void SerialTraceBytes(TraceDirection direction, std::span<const uint8_t> bytes);

}  // namespace pelox
