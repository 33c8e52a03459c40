#include "sim/storage/card_reader.h"

#include "sim/storage/inquiry_data.h"

namespace pelox::sim {

ScsiOutcome CardReader::Execute(const ScsiCommand& command) {
  opcodes_.push_back(command.cdb.empty() ? 0 : command.cdb[0]);
  if (command.cdb.empty() || command.cdb[0] != SCSI_INQUIRY ||
      command.direction != DataDirection::IN) {
    return ScsiOutcome::CHECK_CONDITION;
  }
  FillInquiry(command.data, vendor_, "CARD READER");
  return ScsiOutcome::GOOD;
}

}  // namespace pelox::sim
