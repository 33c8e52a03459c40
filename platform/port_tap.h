#pragma once
// Taps on the serial and SG_IO backends: a copy of what crossed the port,
// for a support trace or a recording. POSIX only; nothing is tapped until a
// front end asks.
#include <cstdint>
#include <span>
#include <string_view>

namespace pelox {

enum class TraceDirection { TO_DEVICE, FROM_DEVICE };

// One SG_IO command as the device answered it.
struct ScsiTrace {
  std::string_view device;  // the node's path
  std::span<const uint8_t> cdb;
  TraceDirection direction = TraceDirection::TO_DEVICE;
  bool has_data = false;
  std::span<const uint8_t> data;   // sent, or received when the direction is FROM_DEVICE
  int32_t result = 0;              // an SgExecute outcome
  uint8_t scsi_status = 0;         // the device's, when it refused the command
  std::span<const uint8_t> sense;  // what it returned with the refusal
};

// Called from whichever thread uses the port, from several at once when
// links run on several threads (a tap that keeps state then locks it); a
// tap must not block for long.
class PortTap {
 public:
  virtual ~PortTap() = default;
  virtual void SerialOpened(int32_t /*port*/, std::string_view /*path*/) {}
  virtual void SerialBytes(TraceDirection /*direction*/, std::span<const uint8_t> /*bytes*/) {}
  virtual void SerialSpeed(uint32_t /*baud*/) {}
  // A read or write failed: the line hung up or the device went away.
  virtual void SerialFailed(TraceDirection /*direction*/) {}
  virtual void SerialClosed() {}
  virtual void ScsiCommand(const ScsiTrace& /*command*/) {}
};

// At most PORT_TAPS_MAX taps; false when they are all taken. A tap is added
// before the port is used and removed once no port is in use: a call to it
// may still run on another thread until then.
inline constexpr size_t PORT_TAPS_MAX = 4;
bool AddPortTap(PortTap& tap);
void RemovePortTap(PortTap& tap);

// The backends' side: hands the event to every tap.
void TapSerialOpened(int32_t port, std::string_view path);
void TapSerialBytes(TraceDirection direction, std::span<const uint8_t> bytes);
void TapSerialSpeed(uint32_t baud);
void TapSerialFailed(TraceDirection direction);
void TapSerialClosed();
void TapScsiCommand(const ScsiTrace& command);

}  // namespace pelox
