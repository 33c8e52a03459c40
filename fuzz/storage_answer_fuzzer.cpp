// Arbitrary storage answers against a read of the storage pipe: the answer
// phase's length T and the data phase's bytes, through each variant.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "link/link_record.h"
#include "platform/event.h"
#include "sim/storage/inquiry_data.h"
#include "sim/storage/storage_bus.h"
#include "transport/byte_order.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/storage_ops.h"

namespace {

using namespace pelox;

void Require(bool condition) {
  if (!condition) std::abort();
}

// A camera whose answer and data phases say what the input says.
class ScriptedCamera : public sim::ScsiDevice {
 public:
  ScriptedCamera(uint32_t answer_length, std::span<const uint8_t> data)
      : answer_length_(answer_length), data_(data) {}

  sim::ScsiOutcome Execute(const sim::ScsiCommand& command) override {
    if (command.cdb.empty()) return sim::ScsiOutcome::CHECK_CONDITION;
    if (command.cdb[0] == sim::SCSI_INQUIRY) {
      sim::FillInquiry(command.data, "PELOX", "FUZZ");
      return sim::ScsiOutcome::GOOD;
    }
    if (command.direction != sim::DataDirection::IN) return sim::ScsiOutcome::GOOD;
    constexpr uint8_t ANSWER = 0xE4;
    if (command.cdb[0] == ANSWER && command.data.size() >= 16) {
      StoreLe32(command.data.subspan<12, 4>(), answer_length_);
    } else {
      const size_t count = std::min(command.data.size(), data_.size());
      std::copy_n(data_.begin(), count, command.data.begin());
    }
    return sim::ScsiOutcome::GOOD;
  }

 private:
  uint32_t answer_length_;
  std::span<const uint8_t> data_;
};

constexpr sim::StorageVariant VARIANTS[] = {
    sim::StorageVariant::ASPI, sim::StorageVariant::PASS_THROUGH, sim::StorageVariant::SG_IO};

void Reset() {
  StorageResetState();
  DeviceTableReset();
  sim::StorageBusReset();
}

}  // namespace

// Input: variant (1 byte), buffer size (2 bytes), T (4 bytes), data phase bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 7) return 0;
  const std::span<const uint8_t> input(data, size);
  const sim::StorageVariant variant = VARIANTS[input[0] % std::size(VARIANTS)];
  const size_t capacity = LoadLe16(input.subspan<1, 2>());
  const uint32_t answer_length = LoadLe32(input.subspan<3, 4>());
  ScriptedCamera camera(answer_length, input.subspan(7));

  Reset();
  sim::StorageBusUse(variant);
  sim::StorageBusAttach(variant, 1, camera);
  StorageTransportInit(STORAGE_INIT_REQUEST);
  Require(StorageMode() != STORAGE_MODE_NONE);

  CameraLink link;
  link.exec_srb = std::make_unique<RequestBlock>();
  link.pass_through = std::make_unique<RequestBlock>();
  link.completion_event = EventCreate();
  Require(StorageOpsTable().Open(PORT_TYPE_STORAGE, &link) == PORT_TYPE_STORAGE);
  std::vector<uint8_t> buffer(capacity);  // exact size: any overrun trips the sanitizer
  const int32_t result = StorageOpsTable().Read(&link, buffer, 1);
  Require(result == PORT_TRANSFER_FAILED || result == PORT_SCSI_ERROR ||
          (result >= 0 && static_cast<size_t>(result) <= capacity));
  Require(result < 0 || answer_length >= 64);
  StorageOpsTable().Close(&link);
  EventClose(link.completion_event);
  Reset();
  return 0;
}
