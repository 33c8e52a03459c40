#include "tests/transport/storage/recording_device.h"

#include <algorithm>

#include "sim/storage/inquiry_data.h"
#include "transport/byte_order.h"

namespace pelox::test {
namespace {

constexpr size_t ANSWER_SIZE = 16;
constexpr size_t STATUS_SIZE = 14;
constexpr size_t HEADER_SIZE = 64;

}  // namespace

sim::ScsiOutcome RecordingDevice::Execute(const sim::ScsiCommand& command) {
  if (!command.cdb.empty() && command.cdb[0] == sim::SCSI_INQUIRY) {
    sim::FillInquiry(command.data, vendor_, "RECORDER");
    return sim::ScsiOutcome::GOOD;
  }
  RecordedCommand record{{command.cdb.begin(), command.cdb.end()},
                         command.direction,
                         {},
                         command.data.size(),
                         command.timeout_ms};
  if (command.direction == sim::DataDirection::OUT) {
    record.data_out.assign(command.data.begin(), command.data.end());
  }
  pipe_.push_back(std::move(record));
  if (fail_command == pipe_.size() - 1) return failure;
  if (command.direction != sim::DataDirection::IN) return sim::ScsiOutcome::GOOD;

  std::fill(command.data.begin(), command.data.end(), uint8_t{0xEE});
  if (command.data.size() == ANSWER_SIZE) {
    StoreLe32(command.data.subspan<12, 4>(), answer_length);
  } else if (command.data.size() == STATUS_SIZE) {
    std::fill(command.data.begin(), command.data.end(), uint8_t{0});
  } else if (command.data.size() >= HEADER_SIZE) {
    const size_t count = std::min(reply.size(), command.data.size() - HEADER_SIZE);
    std::copy_n(reply.begin(), count, command.data.begin() + HEADER_SIZE);
  }
  return sim::ScsiOutcome::GOOD;
}

}  // namespace pelox::test
