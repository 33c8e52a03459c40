#include "sim/replay/scsi_replay.h"

#include <algorithm>

#include "sim/storage/storage_face.h"

namespace pelox::sim {
namespace {

std::string_view DirectionName(DataDirection direction) {
  switch (direction) {
    case DataDirection::IN: return "in";
    case DataDirection::OUT: return "out";
    case DataDirection::NONE: break;
  }
  return "none";
}

ScsiOutcome OutcomeOf(const std::string& result) {
  if (result == "done") return ScsiOutcome::GOOD;
  if (result == "check") return ScsiOutcome::CHECK_CONDITION;
  return ScsiOutcome::NO_RESPONSE;
}

}  // namespace

ScsiReplay::ScsiReplay(const Recording& recording, ReplayTolerance tolerance)
    : matcher_(tolerance) {
  for (const RecordedEvent& event : recording.events) {
    if (event.kind == EventKind::SCSI) commands_.push_back(event);
  }
}

ScsiOutcome ScsiReplay::Execute(std::string_view device, const ScsiCommand& command) {
  if (!divergence_.empty()) return ScsiOutcome::NO_RESPONSE;
  const std::string at = "SCSI command " + std::to_string(next_ + 1);
  if (next_ >= commands_.size()) {
    return Diverge(at + " is one more than recorded: got CDB " + HexFrom(command.cdb, 0) + " to " +
                   std::string(device));
  }
  const RecordedEvent& recorded = commands_[next_];
  const std::string place = at + " (line " + std::to_string(recorded.line) + " of the recording)";
  if (device != recorded.device) {
    return Diverge(place + ": expected device " + recorded.device + ", got " + std::string(device));
  }
  const auto cdb_differs = std::mismatch(recorded.cdb.begin(), recorded.cdb.end(),
                                         command.cdb.begin(), command.cdb.end());
  if (cdb_differs.first != recorded.cdb.end() || cdb_differs.second != command.cdb.end()) {
    const auto offset = static_cast<size_t>(cdb_differs.first - recorded.cdb.begin());
    return Diverge(place + ": first divergence at CDB byte " + std::to_string(offset) +
                   ": expected " + HexFrom(recorded.cdb, offset) + ", got " +
                   HexFrom(command.cdb, offset));
  }
  const std::string_view direction = DirectionName(command.direction);
  if (direction != recorded.direction || command.data.size() != recorded.bytes.size()) {
    return Diverge(place + ": expected " + recorded.direction + " with " +
                   std::to_string(recorded.bytes.size()) + " bytes, got " + std::string(direction) +
                   " with " + std::to_string(command.data.size()));
  }
  if (command.direction == DataDirection::OUT && !DataMatches(recorded, command.data)) {
    return ScsiOutcome::NO_RESPONSE;
  }
  if (command.direction == DataDirection::IN) {
    std::copy(recorded.bytes.begin(), recorded.bytes.end(), command.data.begin());
  }
  ++next_;
  return OutcomeOf(recorded.result);
}

std::string ScsiReplay::Shortfall() const {
  if (next_ >= commands_.size()) return {};
  return "the host stopped after " + std::to_string(next_) + " of " +
         std::to_string(commands_.size()) + " SCSI commands; expected next CDB " +
         HexFrom(commands_[next_].cdb, 0) + " (line " + std::to_string(commands_[next_].line) +
         " of the recording)";
}

ScsiOutcome ScsiReplay::Diverge(std::string text) {
  divergence_ = std::move(text);
  return ScsiOutcome::NO_RESPONSE;
}

bool ScsiReplay::DataMatches(const RecordedEvent& recorded, std::span<const uint8_t> got) {
  const std::vector<ByteRule> rules = RulesOf(recorded, PIPE_DATA_HEADER_SIZE);
  for (size_t i = 0; i < got.size(); ++i) {
    if (matcher_.Accepts(recorded.bytes[i], got[i], rules[i])) continue;
    Diverge("SCSI command " + std::to_string(next_ + 1) + " (line " +
            std::to_string(recorded.line) + " of the recording): first divergence at data byte " +
            std::to_string(i) + ": expected " + HexFrom(recorded.bytes, i) + ", got " +
            HexFrom(got, i));
    return false;
  }
  return true;
}

}  // namespace pelox::sim
