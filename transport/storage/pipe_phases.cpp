#include "transport/storage/pipe_phases.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <new>

#include "transport/byte_order.h"
#include "transport/discovery/device_table_internal.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

void SetPhase(const PipeVariant& variant, uint8_t opcode, size_t length, PortState* link) {
  std::span<uint8_t, PIPE_CDB_SIZE> cdb = variant.cdb(link);
  cdb[0] = opcode;
  StoreBe32(cdb.subspan<PIPE_CDB_LENGTH_OFFSET, 4>(), static_cast<uint32_t>(length));
}

// The kept refusal is the last command's own: a command taken, or one that
// failed otherwise (the device gone, a time-out), leaves none to be told as
// its cause.
int32_t Outcome(const PipeVariant& variant, int32_t status, PortState* link) {
  const int32_t result = variant.phase_result(status);
  if (result != PORT_SCSI_ERROR) link->refusal = {};
  return result;
}

int32_t PhaseIn(const PipeVariant& variant, uint8_t opcode, std::span<uint8_t> buffer,
                PortState* link) {
  SetPhase(variant, opcode, buffer.size(), link);
  return Outcome(variant, variant.scsi_in(link, buffer), link);
}

int32_t PhaseOut(const PipeVariant& variant, uint8_t opcode, std::span<const uint8_t> buffer,
                 PortState* link) {
  SetPhase(variant, opcode, buffer.size(), link);
  return Outcome(variant, variant.scsi_out(link, buffer), link);
}

// One data phase's buffer, zero-filled; null when it cannot be had.
std::unique_ptr<uint8_t[]> PhaseBuffer(size_t size) {
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

}  // namespace

void PipeKeepRefusal(uint8_t scsi_status, std::span<const uint8_t> sense, PortState* link) {
  ScsiRefusal& refusal = link->refusal;
  refusal.scsi_status = scsi_status;
  refusal.sense_length = static_cast<uint8_t>(std::min(sense.size(), refusal.sense.size()));
  std::copy_n(sense.begin(), refusal.sense_length, refusal.sense.begin());
  std::fill(refusal.sense.begin() + refusal.sense_length, refusal.sense.end(), uint8_t{0});
}

int32_t PipeResultOfCompletion(int32_t status) {
  // Only a completed command goes on: a status the pipe does not know (no
  // device, an invalid request) is no more done than an aborted one.
  switch (status) {
    case PIPE_COMPLETION_DONE: return PIPE_GO_ON;
    case PIPE_COMPLETION_SCSI_ERROR: return PORT_SCSI_ERROR;
    default: return PORT_TRANSFER_FAILED;
  }
}

int32_t PipeWrite(const PipeVariant& variant, std::span<const uint8_t> data, PortState* link) {
  if (link->opcode_set == nullptr) return PORT_TRANSFER_FAILED;  // the pipe is not open
  const OpcodeSet& opcodes = *link->opcode_set;
  if (int32_t result = PhaseOut(variant, opcodes.command, PIPE_COMMAND_BLOCK, link);
      result != PIPE_GO_ON) {
    return result;
  }

  if (data.size() > std::numeric_limits<uint32_t>::max() - PIPE_DATA_HEADER_SIZE) {
    return PORT_TRANSFER_FAILED;
  }
  const size_t total = data.size() + PIPE_DATA_HEADER_SIZE;
  std::unique_ptr<uint8_t[]> phase = PhaseBuffer(total);
  if (phase == nullptr) return PORT_TRANSFER_FAILED;
  std::span<uint8_t> out(phase.get(), total);
  StoreLe32(out.first<4>(), static_cast<uint32_t>(total));
  out[PIPE_DATA_TYPE_OFFSET] = PIPE_DATA_TYPE_PACKET;
  std::copy(data.begin(), data.end(), out.begin() + PIPE_DATA_HEADER_SIZE);
  if (int32_t result = PhaseOut(variant, opcodes.data_out, out, link); result != PIPE_GO_ON) {
    return result;
  }
  phase.reset();

  std::array<uint8_t, PIPE_STATUS_SIZE> status{};
  if (int32_t result = PhaseIn(variant, opcodes.status, status, link); result != PIPE_GO_ON) {
    return result;
  }
  return 1;
}

int32_t PipeRead(const PipeVariant& variant, std::span<uint8_t> buffer, int32_t timeout,
                 PortState* link) {
  if (link->opcode_set == nullptr) return PORT_TRANSFER_FAILED;  // the pipe is not open
  const OpcodeSet& opcodes = *link->opcode_set;
  if (int32_t result = PhaseOut(variant, opcodes.command, PIPE_COMMAND_BLOCK, link);
      result != PIPE_GO_ON) {
    return result;
  }
  variant.set_timeout(link, timeout);

  std::array<uint8_t, PIPE_ANSWER_SIZE> answer{};
  if (int32_t result = PhaseIn(variant, opcodes.answer, answer, link); result != PIPE_GO_ON) {
    return result;
  }
  // The camera's length is checked before it sizes anything: below the header
  // it would make a negative count, above the largest frame an unbounded buffer.
  const uint32_t total =
      LoadLe32(std::span<const uint8_t>(answer).subspan<PIPE_ANSWER_LENGTH_OFFSET, 4>());
  if (total < PIPE_DATA_HEADER_SIZE || total > PIPE_LARGEST_READ_PHASE) return PORT_SCSI_ERROR;
  const size_t delivered = std::min<size_t>(buffer.size(), total - PIPE_DATA_HEADER_SIZE);

  std::unique_ptr<uint8_t[]> phase = PhaseBuffer(total);
  if (phase == nullptr) return PORT_TRANSFER_FAILED;
  std::span<uint8_t> in(phase.get(), total);
  if (int32_t result = PhaseIn(variant, opcodes.data_in, in, link); result != PIPE_GO_ON) {
    return result;
  }
  std::copy_n(in.begin() + PIPE_DATA_HEADER_SIZE, delivered, buffer.begin());
  phase.reset();

  std::array<uint8_t, PIPE_STATUS_SIZE> status{};
  const int32_t status_result = PhaseIn(variant, opcodes.status, status, link);
  if (variant.read_status_counts && status_result != PIPE_GO_ON) return status_result;
  return static_cast<int32_t>(delivered);
}

bool PipeAdoptCamera(const PipeVariant& variant, uint16_t vendor_code, PortState* link) {
  const OpcodeSet* opcodes = PipeOpcodesFor(vendor_code);
  if (opcodes == nullptr) return false;
  link->vendor_code = vendor_code;
  link->large_blocks = 1;
  link->opcode_set = opcodes;
  std::span<uint8_t, PIPE_CDB_SIZE> cdb = variant.cdb(link);
  std::fill(cdb.begin(), cdb.end(), uint8_t{0});
  cdb[PIPE_CDB_MAKER_FLAG_OFFSET] = PipeMakerFlagFor(vendor_code);
  return true;
}

void PipeSendClose(const PipeVariant& variant, PortState* link) {
  // A device that failed its first camera exchange is no camera: it is sent
  // nothing more, a close command neither.
  if (link->opcode_set == nullptr || !PipeSendsCloseTo(link->vendor_code) ||
      DevicePassedOver(link->device_index)) {
    return;
  }
  std::span<uint8_t, PIPE_CDB_SIZE> cdb = variant.cdb(link);
  std::fill(cdb.begin(), cdb.end(), uint8_t{0});
  cdb[0] = link->opcode_set->close;
  variant.scsi_out(link, {});
}

}  // namespace pelox
