#include "sim/storage/card_reader.h"

#include "sim/storage/inquiry_data.h"

namespace pelox::sim {

ScsiOutcome CardReader::Execute(const ScsiCommand& command) {
  ++command_count_;
  if (command.cdb.empty() || command.cdb[0] != SCSI_INQUIRY ||
      command.direction != DataDirection::IN) {
    return ScsiOutcome::CHECK_CONDITION;
  }
  FillInquiry(command.data, vendor_, "CARD READER");
  return ScsiOutcome::GOOD;
}

}  // namespace pelox::sim
