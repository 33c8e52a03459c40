// Reads and writes: data frames paced by the host's ACKs, and writes put
// together frame by frame.
#include <algorithm>

#include "sim/camera/packet_endpoint.h"

namespace pelox::sim {
namespace {

constexpr size_t READ_BODY_SIZE = 1;  // data kind

}  // namespace

void PacketEndpoint::ReceiveRead(uint8_t request_class, std::span<const uint8_t> body,
                                 std::span<const uint8_t> unit, uint64_t now_ms) {
  if (body.size() != READ_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const uint8_t kind = body[0];
  const ReplyFault fault = Intercept(FaultTarget::READ, kind, unit, now_ms, taken);
  if (taken) return;
  std::optional<std::vector<uint8_t>> data = model_->ReadKind(kind, now_ms);
  if (!data) {
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault);
    return;
  }
  Answer(unit, Verdict::ACCEPTED, {}, now_ms);
  read_ = ReadInProgress{kind, std::move(*data),
                         request_class == REQUEST_READ_LARGE ? LARGE_PAYLOAD : SMALL_PAYLOAD};
  SendReadFrame(now_ms, fault);
}

void PacketEndpoint::SendReadFrame(uint64_t now_ms, ReplyFault inherited) {
  const size_t size = std::min(read_->frame_size, read_->data.size() - read_->offset);
  const bool last = read_->offset + size >= read_->data.size();
  std::vector<uint8_t> frame =
      EncodeFrame(last ? FRAME_DATA_LAST : FRAME_DATA_MORE, read_->sequence,
                  std::span(read_->data).subspan(read_->offset, size));
  last_packet_ = frame;
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::READ_FRAME, read_->kind, frame, now_ms, taken);
  if (!taken) Emit(std::move(frame), now_ms, fault ? fault : inherited, std::nullopt);
}

void PacketEndpoint::ReceiveWrite(uint8_t request_class, std::span<const uint8_t> body,
                                  std::span<const uint8_t> unit, uint64_t now_ms) {
  if (body.empty()) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  const uint8_t kind = body[0];
  const bool large = request_class == REQUEST_WRITE_LARGE;
  const size_t capacity = large ? LARGE_PAYLOAD : SMALL_PAYLOAD;
  if (body.size() + 1 > capacity) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms, std::nullopt,
           "frame above its class's size");
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::WRITE_FRAME, kind, unit, now_ms, taken);
  if (taken) return;
  const std::span<const uint8_t> data = body.subspan(1);
  write_ = WriteInProgress{.kind = kind, .capacity = capacity, .checksummed = !large};
  if (!model_->BeginWrite(kind, now_ms)) {
    write_->ended = true;
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault);
    return;
  }
  if (!model_->AppendWrite(data)) {
    EndWrite(false, now_ms);
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault, "write too large");
    return;
  }
  write_->may_continue = body.size() + 1 == capacity;
  if (!write_->may_continue && !EndWrite(true, now_ms)) {
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault, "write refused");
    return;
  }
  Answer(unit, Verdict::ACCEPTED, ControlUnit(CONTROL_ACK), now_ms, fault);
}

void PacketEndpoint::ReceiveData(const Frame& frame, std::span<const uint8_t> unit,
                                 uint64_t now_ms) {
  if (!write_) {
    Answer(unit, Verdict::UNEXPECTED, ControlUnit(CONTROL_ERROR), now_ms, std::nullopt,
           "data frame outside a write");
    return;
  }
  if (write_->checksummed && frame.checksum != PayloadChecksum(frame.payload)) {
    Answer(unit, Verdict::BAD_CHECKSUM, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  if (frame.payload.size() > write_->capacity) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms, std::nullopt,
           "frame above its class's size");
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::WRITE_FRAME, write_->kind, unit, now_ms, taken);
  if (taken) return;
  const uint8_t sequence = frame.code_or_sequence;
  // The host sends a frame again when the camera's ACK was lost.
  if (write_->data_taken && sequence == static_cast<uint8_t>(write_->next_sequence - 1)) {
    Answer(unit, Verdict::DUPLICATE, ControlUnit(CONTROL_ACK), now_ms, fault);
    return;
  }
  if (write_->ended) {
    Answer(unit, Verdict::UNEXPECTED, ControlUnit(CONTROL_ERROR), now_ms, fault,
           "data frame after the write ended");
    return;
  }
  if (sequence != write_->next_sequence) {
    Answer(unit, Verdict::BAD_SEQUENCE, ControlUnit(CONTROL_NAK), now_ms, fault);
    return;
  }
  if (!model_->AppendWrite(frame.payload)) {
    EndWrite(false, now_ms);
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault, "write too large");
    return;
  }
  ++write_->next_sequence;
  write_->data_taken = true;
  write_->may_continue = false;
  if (frame.type == FRAME_DATA_LAST && !EndWrite(true, now_ms)) {
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault, "write refused");
    return;
  }
  Answer(unit, Verdict::ACCEPTED, ControlUnit(CONTROL_ACK), now_ms, fault);
}

bool PacketEndpoint::EndWrite(bool complete, uint64_t now_ms) {
  if (!write_ || write_->ended) return true;
  write_->ended = true;
  return model_->EndWrite(complete, now_ms);
}

}  // namespace pelox::sim
