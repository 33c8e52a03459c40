#include "sim/camera/packet_endpoint.h"

#include <algorithm>

#include "link/byte_order.h"

namespace pelox::sim {
namespace {

constexpr size_t SET_BODY_SIZE = 5;     // property id, value
constexpr size_t GET_BODY_SIZE = 1;     // property id
constexpr size_t ACTION_BODY_SIZE = 2;  // action code, argument
constexpr size_t READ_BODY_SIZE = 1;    // data kind
constexpr size_t SPEED_PAYLOAD_SIZE = 6;

std::vector<uint8_t> Control(uint8_t byte) { return {byte}; }

std::vector<uint8_t> GetReply(uint32_t value) {
  std::array<uint8_t, 4> payload{};
  StoreLe32(payload, value);
  return EncodeFrame(FRAME_DATA_LAST, 0, payload);
}

const char* FaultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::NAK: return "fault: NAK";
    case FaultKind::REFUSE: return "fault: refused";
    case FaultKind::DROP_REPLY: return "fault: reply dropped";
    case FaultKind::PARTIAL_REPLY: return "fault: partial reply";
    case FaultKind::WRONG_CHECKSUM: return "fault: wrong checksum";
    case FaultKind::WRONG_SEQUENCE: return "fault: wrong sequence number";
    case FaultKind::CAMERA_GONE: return "fault: camera gone";
    case FaultKind::PORT_FAILURE: return "fault: port failure";
    case FaultKind::NEVER_READY: return "fault: never ready";
    case FaultKind::UNPLUG: return "fault: unplugged";
    case FaultKind::DELAY: return "fault: delayed reply";
  }
  return "fault";
}

}  // namespace

PacketEndpoint::PacketEndpoint(CameraModel& model, CameraLog& log, FaultPlan& faults)
    : model_(model), log_(log), faults_(faults) {}

void PacketEndpoint::Receive(std::span<const uint8_t> unit, uint64_t now_ms) {
  if (unit.empty()) return;
  if (unplugged_) {
    log_.Add(now_ms, Direction::FROM_HOST, unit, Verdict::IGNORED, "unplugged");
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
      if (!taken) Answer(unit, Verdict::ACCEPTED, Control(CONTROL_NAK), now_ms, fault, "probe");
      return;
    }
    case CONTROL_ACK:
      ReceiveAck(unit, now_ms);
      return;
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
    default:
      Answer(unit, Verdict::UNEXPECTED, {}, now_ms);
      return;
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
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms);
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
  const bool large_write = !frame.payload.empty() && frame.payload[0] == REQUEST_WRITE_LARGE;
  if (!large_write && frame.checksum != PayloadChecksum(frame.payload)) {
    Answer(unit, Verdict::BAD_CHECKSUM, Control(CONTROL_NAK), now_ms);
    return;
  }
  if (frame.code_or_sequence == COMMAND_SPEED) {
    ReceiveSpeed(frame.payload, unit, now_ms);
  } else if (frame.code_or_sequence == COMMAND_CAMERA && !frame.payload.empty()) {
    ReceiveRequest(frame.payload, unit, now_ms);
  } else {
    Answer(unit, Verdict::UNEXPECTED, Control(CONTROL_ERROR), now_ms, std::nullopt,
           "unknown command");
  }
}

void PacketEndpoint::ReceiveSpeed(std::span<const uint8_t> payload, std::span<const uint8_t> unit,
                                  uint64_t now_ms) {
  if (payload.size() != SPEED_PAYLOAD_SIZE || payload[0] != REQUEST_SET ||
      payload[1] != PROPERTY_SPEED) {
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::SPEED, PROPERTY_SPEED, unit, now_ms, taken);
  if (taken) return;
  const uint32_t index = LoadLe32(payload.subspan<2, 4>());
  if (index >= SPEED_TABLE.size() || model_.Busy(now_ms)) {
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault, "speed");
    return;
  }
  Answer(unit, Verdict::ACCEPTED, Control(CONTROL_ACK), now_ms, fault, "speed",
         static_cast<uint8_t>(index));
}

void PacketEndpoint::ReceiveRequest(std::span<const uint8_t> payload,
                                    std::span<const uint8_t> unit, uint64_t now_ms) {
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
      Answer(unit, Verdict::UNEXPECTED, Control(CONTROL_ERROR), now_ms, std::nullopt,
             "unknown request class");
      return;
  }
}

void PacketEndpoint::ReceiveSet(std::span<const uint8_t> body, std::span<const uint8_t> unit,
                                uint64_t now_ms) {
  if (body.size() != SET_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const uint8_t id = body[0];
  const ReplyFault fault = Intercept(FaultTarget::SET, id, unit, now_ms, taken);
  if (taken) return;
  if (model_.SetProperty(id, LoadLe32(body.subspan<1, 4>()), now_ms)) {
    Answer(unit, Verdict::ACCEPTED, Control(CONTROL_ACK), now_ms, fault);
  } else {
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault);
  }
}

void PacketEndpoint::ReceiveGet(std::span<const uint8_t> body, std::span<const uint8_t> unit,
                                uint64_t now_ms) {
  if (body.size() != GET_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const uint8_t id = body[0];
  const ReplyFault fault = Intercept(FaultTarget::GET, id, unit, now_ms, taken);
  if (taken) return;
  if (const std::optional<uint32_t> value = model_.GetProperty(id, now_ms)) {
    Answer(unit, Verdict::ACCEPTED, GetReply(*value), now_ms, fault);
  } else {
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault);
  }
}

void PacketEndpoint::ReceiveAction(std::span<const uint8_t> body, std::span<const uint8_t> unit,
                                   uint64_t now_ms) {
  if (body.size() != ACTION_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::ACTION, body[0], unit, now_ms, taken);
  if (taken) return;
  const std::optional<uint32_t> busy_ms = model_.RunAction(body[0], body[1], now_ms);
  if (!busy_ms) {
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault);
    return;
  }
  Answer(unit, Verdict::ACCEPTED, Control(CONTROL_ACK), now_ms, fault);
  if (!model_.NeverReady()) action_done_ms_ = model_.BusyUntilMs();
}

void PacketEndpoint::ReceiveRead(uint8_t request_class, std::span<const uint8_t> body,
                                 std::span<const uint8_t> unit, uint64_t now_ms) {
  if (body.size() != READ_BODY_SIZE) {
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms);
    return;
  }
  bool taken = false;
  const uint8_t kind = body[0];
  const ReplyFault fault = Intercept(FaultTarget::READ, kind, unit, now_ms, taken);
  if (taken) return;
  std::optional<std::vector<uint8_t>> data = model_.ReadKind(kind, now_ms);
  if (!data) {
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault);
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
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms);
    return;
  }
  const uint8_t kind = body[0];
  const bool large = request_class == REQUEST_WRITE_LARGE;
  const size_t capacity = large ? LARGE_PAYLOAD : SMALL_PAYLOAD;
  if (body.size() + 1 > capacity) {
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms, std::nullopt,
           "frame above its class's size");
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::WRITE_FRAME, kind, unit, now_ms, taken);
  if (taken) return;
  const std::span<const uint8_t> data = body.subspan(1);
  write_ = WriteInProgress{.kind = kind, .capacity = capacity, .checksummed = !large};
  if (!model_.BeginWrite(kind, now_ms)) {
    write_->ended = true;
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault);
    return;
  }
  if (!model_.AppendWrite(data)) {
    EndWrite(false, now_ms);
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault, "write too large");
    return;
  }
  write_->may_continue = body.size() + 1 == capacity;
  if (!write_->may_continue && !EndWrite(true, now_ms)) {
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault, "write refused");
    return;
  }
  Answer(unit, Verdict::ACCEPTED, Control(CONTROL_ACK), now_ms, fault);
}

void PacketEndpoint::ReceiveData(const Frame& frame, std::span<const uint8_t> unit,
                                 uint64_t now_ms) {
  if (!write_) {
    Answer(unit, Verdict::UNEXPECTED, Control(CONTROL_ERROR), now_ms, std::nullopt,
           "data frame outside a write");
    return;
  }
  if (write_->checksummed && frame.checksum != PayloadChecksum(frame.payload)) {
    Answer(unit, Verdict::BAD_CHECKSUM, Control(CONTROL_NAK), now_ms);
    return;
  }
  if (frame.payload.size() > write_->capacity) {
    Answer(unit, Verdict::MALFORMED, Control(CONTROL_NAK), now_ms, std::nullopt,
           "frame above its class's size");
    return;
  }
  bool taken = false;
  const ReplyFault fault = Intercept(FaultTarget::WRITE_FRAME, write_->kind, unit, now_ms, taken);
  if (taken) return;
  const uint8_t sequence = frame.code_or_sequence;
  // The host sends a frame again when the camera's ACK was lost.
  if (write_->data_taken && sequence == static_cast<uint8_t>(write_->next_sequence - 1)) {
    Answer(unit, Verdict::DUPLICATE, Control(CONTROL_ACK), now_ms, fault);
    return;
  }
  if (write_->ended) {
    Answer(unit, Verdict::UNEXPECTED, Control(CONTROL_ERROR), now_ms, fault,
           "data frame after the write ended");
    return;
  }
  if (sequence != write_->next_sequence) {
    Answer(unit, Verdict::BAD_SEQUENCE, Control(CONTROL_NAK), now_ms, fault);
    return;
  }
  if (!model_.AppendWrite(frame.payload)) {
    EndWrite(false, now_ms);
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault, "write too large");
    return;
  }
  ++write_->next_sequence;
  write_->data_taken = true;
  write_->may_continue = false;
  if (frame.type == FRAME_DATA_LAST && !EndWrite(true, now_ms)) {
    Answer(unit, Verdict::REFUSED, Control(CONTROL_ERROR), now_ms, fault, "write refused");
    return;
  }
  Answer(unit, Verdict::ACCEPTED, Control(CONTROL_ACK), now_ms, fault);
}

bool PacketEndpoint::EndWrite(bool complete, uint64_t now_ms) {
  if (!write_ || write_->ended) return true;
  write_->ended = true;
  return model_.EndWrite(complete, now_ms);
}

PacketEndpoint::ReplyFault PacketEndpoint::Intercept(FaultTarget target, int32_t id,
                                                      std::span<const uint8_t> unit,
                                                      uint64_t now_ms, bool& taken) {
  taken = false;
  const std::optional<FaultRule> fault = faults_.Next(target, id);
  if (!fault) return std::nullopt;
  const Direction direction =
      target == FaultTarget::READ_FRAME ? Direction::TO_HOST : Direction::FROM_HOST;
  switch (fault->kind) {
    case FaultKind::NAK:
    case FaultKind::REFUSE:
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      Emit(Control(fault->kind == FaultKind::NAK ? CONTROL_NAK : CONTROL_ERROR), now_ms,
           std::nullopt, std::nullopt);
      taken = true;
      return std::nullopt;
    case FaultKind::CAMERA_GONE:
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      GoAway(now_ms);
      taken = true;
      return std::nullopt;
    case FaultKind::UNPLUG:
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      Unplug(now_ms);
      taken = true;
      return std::nullopt;
    case FaultKind::PORT_FAILURE:
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      port_failure_ = true;
      port_failure_from_ms_ = now_ms;
      port_failure_until_ms_ = fault->argument_ms == 0 ? 0 : now_ms + fault->argument_ms;
      taken = true;
      return std::nullopt;
    case FaultKind::NEVER_READY:
      log_.Add(now_ms, Direction::TO_HOST, {}, Verdict::FAULTED, FaultName(fault->kind));
      model_.SetNeverReady();
      action_done_ms_.reset();
      return std::nullopt;
    case FaultKind::DROP_REPLY:
    case FaultKind::PARTIAL_REPLY:
    case FaultKind::WRONG_CHECKSUM:
    case FaultKind::WRONG_SEQUENCE:
    case FaultKind::DELAY:
      return fault;
  }
  return std::nullopt;
}

void PacketEndpoint::Answer(std::span<const uint8_t> unit, Verdict verdict,
                            std::vector<uint8_t> reply, uint64_t now_ms, ReplyFault fault,
                            std::string note, std::optional<uint8_t> then_speed_index) {
  log_.Add(now_ms, Direction::FROM_HOST, unit, verdict, std::move(note));
  if (reply.size() > 1) last_packet_ = reply;
  if (!reply.empty()) Emit(std::move(reply), now_ms, fault, then_speed_index);
}

void PacketEndpoint::Emit(std::vector<uint8_t> reply, uint64_t now_ms, const ReplyFault& fault,
                          std::optional<uint8_t> then_speed_index) {
  uint64_t ready_ms = now_ms;
  if (fault) {
    const bool packet = reply.size() >= FRAME_OVERHEAD;
    switch (fault->kind) {
      case FaultKind::DROP_REPLY: reply.clear(); break;
      case FaultKind::PARTIAL_REPLY: reply.resize(reply.size() / 2); break;
      case FaultKind::WRONG_CHECKSUM:
        if (packet) ++reply.back();
        break;
      case FaultKind::WRONG_SEQUENCE:
        if (packet && reply[0] != FRAME_COMMAND) ++reply[1];
        break;
      case FaultKind::DELAY: ready_ms += fault->argument_ms; break;
      default: break;
    }
    log_.Add(now_ms, Direction::TO_HOST, reply, Verdict::FAULTED, FaultName(fault->kind));
  }
  if (reply.empty()) return;
  outgoing_.push_back(CameraUnit{ready_ms, std::move(reply), then_speed_index});
}

void PacketEndpoint::GoAway(uint64_t now_ms) {
  // As after a power cycle: what was under way is lost, the line speed
  // falls back, and the host must connect afresh.
  outgoing_.clear();
  read_.reset();
  if (write_ && !write_->ended) EndWrite(false, now_ms);
  write_.reset();
  last_packet_.clear();
  outgoing_.push_back(CameraUnit{now_ms, Control(CONTROL_GONE), uint8_t{0}});
}

void PacketEndpoint::Unplug(uint64_t now_ms) {
  unplugged_ = true;
  outgoing_.clear();
  action_done_ms_.reset();
  if (write_ && !write_->ended) EndWrite(false, now_ms);
  log_.Add(now_ms, Direction::TO_HOST, {}, Verdict::IGNORED, "unplugged");
}

bool PacketEndpoint::PortFailing(uint64_t now_ms) const {
  return port_failure_ && now_ms >= port_failure_from_ms_ &&
         (port_failure_until_ms_ == 0 || now_ms < port_failure_until_ms_);
}

std::optional<uint64_t> PacketEndpoint::NextReadyMs() const {
  std::optional<uint64_t> next;
  if (!outgoing_.empty()) next = outgoing_.front().ready_ms;
  if (action_done_ms_ && (!next || *action_done_ms_ < *next)) next = action_done_ms_;
  return next;
}

std::optional<CameraUnit> PacketEndpoint::TakeReady(uint64_t now_ms) {
  if (unplugged_) return std::nullopt;
  const bool action_first = action_done_ms_ && *action_done_ms_ <= now_ms &&
                            (outgoing_.empty() || *action_done_ms_ <= outgoing_.front().ready_ms);
  CameraUnit unit;
  if (action_first) {
    unit = CameraUnit{*action_done_ms_, Control(CONTROL_ACTION_DONE), std::nullopt};
    action_done_ms_.reset();
  } else if (!outgoing_.empty() && outgoing_.front().ready_ms <= now_ms) {
    unit = std::move(outgoing_.front());
    outgoing_.pop_front();
  } else {
    return std::nullopt;
  }
  log_.Add(unit.ready_ms, Direction::TO_HOST, unit.bytes, Verdict::SENT);
  return unit;
}

}  // namespace pelox::sim
