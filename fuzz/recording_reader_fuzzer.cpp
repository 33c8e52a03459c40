// Arbitrary files as session recordings for camsim --replay: the reader
// refuses what it cannot play with the line it stopped at, never crashes,
// and what it reads is safe to hand to both replays.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "sim/replay/recording.h"
#include "sim/replay/scsi_replay.h"
#include "sim/replay/serial_replay.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::string error;
  const std::optional<pelox::sim::Recording> recording =
      pelox::sim::ReadRecording(in, "fuzzed", error);
  if (!recording) {
    Require(error.rfind("fuzzed", 0) == 0 && error.size() > 7);
    return 0;
  }
  bool has_scsi = false;
  for (const pelox::sim::RecordedEvent& event : recording->events) {
    has_scsi = has_scsi || event.kind == pelox::sim::EventKind::SCSI;
    if (event.left_out) Require(event.left_out->at + event.left_out->size <= event.bytes.size());
  }
  pelox::sim::SerialReplay serial(*recording, {});
  pelox::sim::ScsiReplay scsi(*recording, {true, true});
  Require(serial.Divergence().empty() && scsi.Divergence().empty());
  Require(scsi.Shortfall().empty() != has_scsi);
  return 0;
}
