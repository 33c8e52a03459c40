#pragma once
// A removable drive that is no camera: it answers INQUIRY with its own
// vendor and refuses every other command.
#include <string>

#include "sim/storage/scsi_device.h"

namespace pelox::sim {

class CardReader : public ScsiDevice {
 public:
  explicit CardReader(std::string vendor) : vendor_(std::move(vendor)) {}
  ScsiOutcome Execute(const ScsiCommand& command) override;
  int32_t CommandCount() const { return command_count_; }

 private:
  std::string vendor_;
  int32_t command_count_ = 0;
};

}  // namespace pelox::sim
