#pragma once
// The camera's side of a storage-pipe recording, played back: each SCSI
// command is checked against the next recorded one (device, CDB, direction,
// data sent) and answered with the recorded data and status. After the first
// difference every command goes unanswered.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sim/replay/byte_rules.h"
#include "sim/replay/recording.h"
#include "sim/storage/scsi_device.h"

namespace pelox::sim {

class ScsiReplay {
 public:
  ScsiReplay(const Recording& recording, ReplayTolerance tolerance);

  // `device` is the node's base name, as recorded.
  ScsiOutcome Execute(std::string_view device, const ScsiCommand& command);
  bool Complete() const { return divergence_.empty() && next_ == commands_.size(); }
  const std::string& Divergence() const { return divergence_; }
  std::string Shortfall() const;
  size_t Played() const { return next_; }

 private:
  ScsiOutcome Diverge(std::string text);
  bool DataMatches(const RecordedEvent& recorded, std::span<const uint8_t> got);

  std::vector<RecordedEvent> commands_;
  ByteMatcher matcher_;
  size_t next_ = 0;
  std::string divergence_;
};

// One node of the replayed bus.
class ReplayNode : public ScsiDevice {
 public:
  ReplayNode(ScsiReplay& replay, std::string device)
      : replay_(replay), device_(std::move(device)) {}
  ScsiOutcome Execute(const ScsiCommand& command) override {
    return replay_.Execute(device_, command);
  }

 private:
  ScsiReplay& replay_;
  std::string device_;
};

}  // namespace pelox::sim
