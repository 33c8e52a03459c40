#pragma once
// A removable drive that is no camera: it answers INQUIRY with its own
// vendor and refuses every other command.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/storage/scsi_device.h"

namespace pelox::sim {

class CardReader : public ScsiDevice {
 public:
  explicit CardReader(std::string vendor) : vendor_(std::move(vendor)) {}
  ScsiOutcome Execute(const ScsiCommand& command) override;
  int32_t CommandCount() const { return static_cast<int32_t>(opcodes_.size()); }
  const std::vector<uint8_t>& Opcodes() const { return opcodes_; }

 private:
  std::string vendor_;
  std::vector<uint8_t> opcodes_;
};

}  // namespace pelox::sim
