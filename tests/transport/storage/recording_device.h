#pragma once
// A SCSI device that records every command and answers the pipe's phases
// from a script: the data-phase length T, the bytes after the header, and
// an outcome for a chosen command.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/storage/scsi_device.h"

namespace pelox::test {

struct RecordedCommand {
  std::vector<uint8_t> cdb;
  sim::DataDirection direction = sim::DataDirection::NONE;
  std::vector<uint8_t> data_out;  // what the host sent
  size_t length = 0;
  uint32_t timeout_ms = 0;
};

class RecordingDevice : public sim::ScsiDevice {
 public:
  explicit RecordingDevice(std::string vendor = "PELOX") : vendor_(std::move(vendor)) {}

  sim::ScsiOutcome Execute(const sim::ScsiCommand& command) override;

  // Commands other than INQUIRY, in order.
  const std::vector<RecordedCommand>& Pipe() const { return pipe_; }
  void ClearPipe() { pipe_.clear(); }

  uint32_t answer_length = 64;
  std::vector<uint8_t> reply;  // placed after the data phase's header
  // The pipe command (counted from 0) that ends with `failure` instead.
  std::optional<size_t> fail_command;
  sim::ScsiOutcome failure = sim::ScsiOutcome::NO_RESPONSE;

 private:
  std::string vendor_;
  std::vector<RecordedCommand> pipe_;
};

}  // namespace pelox::test
