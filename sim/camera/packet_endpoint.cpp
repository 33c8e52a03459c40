#include "sim/camera/packet_endpoint.h"

#include <algorithm>
#include <string>

#include "transport/byte_order.h"

namespace pelox::sim {
namespace {

constexpr size_t SET_BODY_SIZE = 5;     // property id, value
constexpr size_t GET_BODY_SIZE = 1;     // property id
constexpr size_t ACTION_BODY_SIZE = 2;  // action code, argument
constexpr size_t SPEED_PAYLOAD_SIZE = 6;

std::vector<uint8_t> GetReply(uint32_t value) {
  std::array<uint8_t, 4> payload{};
  StoreLe32(payload, value);
  return EncodeFrame(FRAME_DATA_LAST, 0, payload);
}

bool IsWriteCommand(std::span<const uint8_t> unit) {
  const std::optional<Frame> frame = DecodeFrame(unit);
  return frame && frame->type == FRAME_COMMAND && frame->code_or_sequence == COMMAND_CAMERA &&
         frame->payload.size() == 1 + ACTION_BODY_SIZE && frame->payload[0] == REQUEST_ACTION &&
         frame->payload[1] == ACTION_WRITE_FIRMWARE;
}

}  // namespace

PacketEndpoint::PacketEndpoint(CameraModel& model, CameraModel& other, CameraLog& log,
                               FaultPlan& faults)
    : model_(&model), other_(other), log_(log), faults_(faults) {}

void PacketEndpoint::Receive(std::span<const uint8_t> unit, uint64_t now_ms) {
  if (unit.empty()) return;
  LeaveIfDue(now_ms);
  if (unplugged_) {
    log_.Add(now_ms, Direction::FROM_HOST, unit, Verdict::IGNORED, "unplugged");
    return;
  }
  const bool write_command = IsWriteCommand(unit);
  if (write_command) ++write_commands_;
  if (write_command && rewrite_silence_ms_ > 0) {
    WriteSilently(unit, now_ms);
    return;
  }
  if (now_ms < mute_until_ms_) {
    log_.Add(now_ms, Direction::FROM_HOST, unit, Verdict::IGNORED, "not listening");
    return;
  }
  if (unit.size() == 1) {
    ReceiveControl(unit, now_ms);
  } else {
    ReceiveFrame(unit, now_ms);
  }
}

void PacketEndpoint::ReceiveControl(std::span<const uint8_t> unit, uint64_t now_ms) {
  bool taken = false;
  switch (unit[0]) {
    case CONTROL_PROBE: {
      const ReplyFault fault = Intercept(FaultTarget::PROBE, -1, unit, now_ms, taken);
      if (!taken) Answer(unit, Verdict::ACCEPTED, ControlUnit(CONTROL_NAK), now_ms, fault, "probe");
      return;
    }
    case CONTROL_ACK: ReceiveAck(unit, now_ms); return;
    case CONTROL_NAK:
      if (last_packet_.empty()) {
        Answer(unit, Verdict::UNEXPECTED, {}, now_ms, std::nullopt, "NAK with nothing to resend");
      } else {
        Answer(unit, Verdict::ACCEPTED, last_packet_, now_ms, std::nullopt, "NAK: resend");
      }
      return;
    case CONTROL_CAN:
      read_.reset();
      Answer(unit, Verdict::ACCEPTED, {}, now_ms, std::nullopt, "read cancelled");
      return;
    default: Answer(unit, Verdict::UNEXPECTED, {}, now_ms); return;
  }
}

void PacketEndpoint::ReceiveAck(std::span<const uint8_t> unit, uint64_t now_ms) {
  if (!read_) {
    // The host acknowledges a get reply or the last read frame.
    Answer(unit, Verdict::IGNORED, {}, now_ms, std::nullopt, "nothing awaits an ACK");
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::ACK, read_->kind, unit, now_ms, taken);
  if (taken) return;
  if (read_->offset + read_->frame_size >= read_->data.size()) {
    read_.reset();
    Answer(unit, Verdict::ACCEPTED, {}, now_ms, std::nullopt, "read complete");
    return;
  }
  Answer(unit, Verdict::ACCEPTED, {}, now_ms, std::nullopt, "next read frame");
  read_->offset += read_->frame_size;
  ++read_->sequence;
  SendReadFrame(now_ms, fault);
}

void PacketEndpoint::ReceiveFrame(std::span<const uint8_t> unit, uint64_t now_ms) {
  const std::optional<Frame> frame = DecodeFrame(unit);
  if (!frame) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  if (frame->type == FRAME_COMMAND) {
    ReceiveCommand(*frame, unit, now_ms);
  } else {
    ReceiveData(*frame, unit, now_ms);
  }
}

void PacketEndpoint::ReceiveCommand(const Frame& frame, std::span<const uint8_t> unit,
                                    uint64_t now_ms) {
  // A new request ends what the previous one left open. A full command
  // frame with nothing after it was a whole write of exactly that size.
  if (write_ && !write_->ended) EndWrite(write_->may_continue, now_ms);
  read_.reset();
  if (!outgoing_.empty()) ++unread_replies_;
  const bool large_write = !frame.payload.empty() && frame.payload[0] == REQUEST_WRITE_LARGE;
  if (!large_write && frame.checksum != PayloadChecksum(frame.payload)) {
    Answer(unit, Verdict::BAD_CHECKSUM, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  if (frame.code_or_sequence == COMMAND_SPEED) {
    ReceiveSpeed(frame.payload, unit, now_ms);
  } else if (frame.code_or_sequence == COMMAND_CAMERA && !frame.payload.empty()) {
    ReceiveRequest(frame.payload, unit, now_ms);
  } else {
    Answer(unit, Verdict::UNEXPECTED, ControlUnit(CONTROL_ERROR), now_ms, std::nullopt,
           "unknown command");
  }
}

void PacketEndpoint::ReceiveSpeed(std::span<const uint8_t> payload, std::span<const uint8_t> unit,
                                  uint64_t now_ms) {
  if (payload.size() != SPEED_PAYLOAD_SIZE || payload[0] != REQUEST_SET ||
      payload[1] != PROPERTY_SPEED) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::SPEED, PROPERTY_SPEED, unit, now_ms, taken);
  if (taken) return;
  const uint32_t index = LoadLe32(payload.subspan<2, 4>());
  if (index >= SPEED_TABLE.size() || model_->Busy(now_ms)) {
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault, "speed");
    return;
  }
  // The log names the speed taken, so that tests see at which the host went on.
  Answer(unit, Verdict::ACCEPTED, ControlUnit(CONTROL_ACK), now_ms, fault,
         "speed " + std::to_string(SPEED_TABLE[index]), static_cast<uint8_t>(index));
}

void PacketEndpoint::ReceiveRequest(std::span<const uint8_t> payload, std::span<const uint8_t> unit,
                                    uint64_t now_ms) {
  const uint8_t request_class = payload[0];
  const std::span<const uint8_t> body = payload.subspan(1);
  switch (request_class) {
    case REQUEST_SET: ReceiveSet(body, unit, now_ms); return;
    case REQUEST_GET: ReceiveGet(body, unit, now_ms); return;
    case REQUEST_ACTION: ReceiveAction(body, unit, now_ms); return;
    case REQUEST_READ:
    case REQUEST_READ_LARGE: ReceiveRead(request_class, body, unit, now_ms); return;
    case REQUEST_WRITE:
    case REQUEST_WRITE_LARGE: ReceiveWrite(request_class, body, unit, now_ms); return;
    default:
      Answer(unit, Verdict::UNEXPECTED, ControlUnit(CONTROL_ERROR), now_ms, std::nullopt,
             "unknown request class");
      return;
  }
}

void PacketEndpoint::ReceiveSet(std::span<const uint8_t> body, std::span<const uint8_t> unit,
                                uint64_t now_ms) {
  if (body.size() != SET_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const uint8_t id = body[0];
  const ReplyFault fault = Intercept(FaultTarget::SET, id, unit, now_ms, taken);
  if (taken) return;
  if (model_->SetProperty(id, LoadLe32(body.subspan<1, 4>()), now_ms)) {
    Answer(unit, Verdict::ACCEPTED, ControlUnit(CONTROL_ACK), now_ms, fault);
  } else {
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault);
  }
}

void PacketEndpoint::ReceiveGet(std::span<const uint8_t> body, std::span<const uint8_t> unit,
                                uint64_t now_ms) {
  if (body.size() != GET_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const uint8_t id = body[0];
  const ReplyFault fault = Intercept(FaultTarget::GET, id, unit, now_ms, taken);
  if (taken) return;
  if (const std::optional<uint32_t> value = model_->GetProperty(id, now_ms)) {
    Answer(unit, Verdict::ACCEPTED, GetReply(*value), now_ms, fault);
  } else {
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault);
  }
}

void PacketEndpoint::ReceiveAction(std::span<const uint8_t> body, std::span<const uint8_t> unit,
                                   uint64_t now_ms) {
  if (body.size() != ACTION_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, ControlUnit(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::ACTION, body[0], unit, now_ms, taken);
  if (taken) return;
  const std::optional<uint32_t> busy_ms = model_->RunAction(body[0], body[1], now_ms);
  if (!busy_ms) {
    Answer(unit, Verdict::REFUSED, ControlUnit(CONTROL_ERROR), now_ms, fault);
    return;
  }
  const bool ends_in_error = fault && fault->kind == FaultKind::END_ERROR;
  if (ends_in_error) {
    model_->FailAction();
    log_.Add(now_ms, Direction::TO_HOST, {}, Verdict::FAULTED, "fault: action ends in an error");
  }
  Answer(unit, Verdict::ACCEPTED, ControlUnit(CONTROL_ACK), now_ms,
         ends_in_error ? std::nullopt : fault);
  action_end_byte_ = ends_in_error ? CONTROL_ERROR : CONTROL_ACTION_DONE;
  if (!model_->NeverReady()) action_done_ms_ = model_->BusyUntilMs();
}
void PacketEndpoint::Answer(std::span<const uint8_t> unit, Verdict verdict,
                            std::vector<uint8_t> reply, uint64_t now_ms, ReplyFault fault,
                            std::string note, std::optional<uint8_t> then_speed_index) {
  log_.Add(now_ms, Direction::FROM_HOST, unit, verdict, std::move(note));
  if (reply.size() > 1) last_packet_ = reply;
  if (!reply.empty()) Emit(std::move(reply), now_ms, fault, then_speed_index);
}
std::optional<uint64_t> PacketEndpoint::NextReadyMs() const {
  std::optional<uint64_t> next;
  if (!outgoing_.empty()) next = outgoing_.front().ready_ms;
  if (action_done_ms_ && (!next || *action_done_ms_ < *next)) next = action_done_ms_;
  // Leaving sends 0xFF then.
  if (leave_ && (!next || leave_->at_ms < *next)) next = leave_->at_ms;
  if (next && *next < mute_until_ms_) next = mute_until_ms_;
  return next;
}

std::optional<CameraUnit> PacketEndpoint::TakeReady(uint64_t now_ms) {
  if (unplugged_ || now_ms < mute_until_ms_) return std::nullopt;
  LeaveIfDue(now_ms);
  const bool action_first = action_done_ms_ && *action_done_ms_ <= now_ms &&
                            (outgoing_.empty() || *action_done_ms_ <= outgoing_.front().ready_ms);
  CameraUnit unit;
  if (action_first) {
    unit = CameraUnit{*action_done_ms_, ControlUnit(action_end_byte_), std::nullopt};
    action_done_ms_.reset();
  } else if (!outgoing_.empty() && outgoing_.front().ready_ms <= now_ms) {
    unit = std::move(outgoing_.front());
    outgoing_.pop_front();
  } else {
    return std::nullopt;
  }
  unit.ready_ms = std::max(unit.ready_ms, mute_until_ms_);
  log_.Add(unit.ready_ms, Direction::TO_HOST, unit.bytes, Verdict::SENT);
  return unit;
}

}  // namespace pelox::sim
