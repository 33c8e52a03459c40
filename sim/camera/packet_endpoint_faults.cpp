// The faults the endpoint commits: units it takes over and replies it spoils.
#include "sim/camera/packet_endpoint.h"

#include <algorithm>

namespace pelox::sim {
namespace {

const char* FaultName(FaultKind kind) {
  switch (kind) {
    case FaultKind::NAK: return "fault: NAK";
    case FaultKind::REFUSE: return "fault: refused";
    case FaultKind::GARBAGE: return "fault: a byte that means nothing";
    case FaultKind::DROP_REPLY: return "fault: reply dropped";
    case FaultKind::PARTIAL_REPLY: return "fault: partial reply";
    case FaultKind::WRONG_CHECKSUM: return "fault: wrong checksum";
    case FaultKind::WRONG_SEQUENCE: return "fault: wrong sequence number";
    case FaultKind::CAMERA_GONE: return "fault: camera gone";
    case FaultKind::PORT_FAILURE: return "fault: port failure";
    case FaultKind::NEVER_READY: return "fault: never ready";
    case FaultKind::UNPLUG: return "fault: unplugged";
    case FaultKind::DELAY: return "fault: delayed reply";
    case FaultKind::STRAY_ACKS: return "fault: stray ACKs before the reply";
    case FaultKind::NAK_ACK: return "fault: NAK and ACK before the reply";
    case FaultKind::SWAP: return "fault: another camera";
    case FaultKind::END_ERROR: return "fault: action ends in an error";
    case FaultKind::MUTE: return "fault: not listening";
    case FaultKind::SCSI_REFUSAL: return "fault: SCSI commands refused";
    case FaultKind::REWRITE: return "fault: writes silently, again on each write command";
  }
  return "fault";
}

// The byte a fault answers with in place of taking the unit.
uint8_t AnswerInstead(FaultKind kind) {
  constexpr uint8_t MEANINGLESS = 0x3F;
  switch (kind) {
    case FaultKind::NAK: return CONTROL_NAK;
    case FaultKind::REFUSE: return CONTROL_ERROR;
    default: return MEANINGLESS;
  }
}
}  // namespace

PacketEndpoint::ReplyFault PacketEndpoint::Intercept(FaultTarget target, int32_t id,
                                                     std::span<const uint8_t> unit, uint64_t now_ms,
                                                     bool& taken) {
  taken = false;
  const std::optional<FaultRule> fault = faults_.Next(target, id);
  if (!fault) return std::nullopt;
  const Direction direction =
      target == FaultTarget::READ_FRAME ? Direction::TO_HOST : Direction::FROM_HOST;
  switch (fault->kind) {
    case FaultKind::NAK:
    case FaultKind::REFUSE:
    case FaultKind::GARBAGE:
      if (fault->kind == FaultKind::NAK && target == FaultTarget::ACTION &&
          id == ACTION_WRITE_FIRMWARE) {
        ++write_command_naks_;
      }
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      Emit(ControlUnit(AnswerInstead(fault->kind)), now_ms, std::nullopt, std::nullopt);
      taken = true;
      return std::nullopt;
    case FaultKind::CAMERA_GONE:
    case FaultKind::SWAP:
      if (fault->argument_ms > 0) {
        // The unit is taken as usual; the camera leaves later.
        leave_ = ScriptedLeave{now_ms + fault->argument_ms, fault->kind == FaultKind::SWAP};
        return std::nullopt;
      }
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      Leave(fault->kind == FaultKind::SWAP, now_ms);
      taken = true;
      return std::nullopt;
    case FaultKind::UNPLUG:
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      Unplug(now_ms);
      taken = true;
      return std::nullopt;
    case FaultKind::PORT_FAILURE:
    case FaultKind::SCSI_REFUSAL:
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      (fault->kind == FaultKind::PORT_FAILURE ? port_failure_ : scsi_refusal_)
          .Open(now_ms, fault->argument_ms);
      taken = true;
      return std::nullopt;
    case FaultKind::MUTE:
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      mute_until_ms_ = now_ms + fault->argument_ms;
      return std::nullopt;
    case FaultKind::REWRITE:
      if (target != FaultTarget::ACTION || id != ACTION_WRITE_FIRMWARE) return std::nullopt;
      log_.Add(now_ms, direction, unit, Verdict::FAULTED, FaultName(fault->kind));
      rewrite_silence_ms_ = fault->argument_ms;
      WriteSilently(unit, now_ms);
      taken = true;
      return std::nullopt;
    case FaultKind::NEVER_READY:
      log_.Add(now_ms, Direction::TO_HOST, {}, Verdict::FAULTED, FaultName(fault->kind));
      model_->SetNeverReady();
      action_done_ms_.reset();
      return std::nullopt;
    case FaultKind::END_ERROR:
    case FaultKind::DROP_REPLY:
    case FaultKind::PARTIAL_REPLY:
    case FaultKind::WRONG_CHECKSUM:
    case FaultKind::WRONG_SEQUENCE:
    case FaultKind::DELAY:
    case FaultKind::STRAY_ACKS:
    case FaultKind::NAK_ACK: return fault;
  }
  return std::nullopt;
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
      case FaultKind::NAK_ACK:
        outgoing_.push_back(CameraUnit{ready_ms, ControlUnit(CONTROL_NAK), std::nullopt});
        outgoing_.push_back(CameraUnit{ready_ms, ControlUnit(CONTROL_ACK), std::nullopt});
        break;
      case FaultKind::STRAY_ACKS:
        for (uint32_t ack = 0; ack < std::max(fault->argument_ms, 1u); ++ack) {
          outgoing_.push_back(CameraUnit{ready_ms, ControlUnit(CONTROL_ACK), std::nullopt});
        }
        break;
      default: break;
    }
    log_.Add(now_ms, Direction::TO_HOST, reply, Verdict::FAULTED, FaultName(fault->kind));
  }
  if (reply.empty()) return;
  outgoing_.push_back(CameraUnit{ready_ms, std::move(reply), then_speed_index});
}

void PacketEndpoint::WriteSilently(std::span<const uint8_t> unit, uint64_t now_ms) {
  model_->LoseRunningAction(now_ms);
  action_done_ms_.reset();
  const bool writing = model_->RunAction(ACTION_WRITE_FIRMWARE, 0, now_ms).has_value();
  mute_until_ms_ = now_ms + rewrite_silence_ms_;
  log_.Add(now_ms, Direction::FROM_HOST, unit, writing ? Verdict::ACCEPTED : Verdict::REFUSED,
           "writing, silent");
}

void PacketEndpoint::GoAway(uint64_t now_ms) {
  // As after a power cycle: what was under way is lost, the line speed
  // falls back, and the host must connect afresh.
  outgoing_.clear();
  read_.reset();
  if (write_ && !write_->ended) EndWrite(false, now_ms);
  write_.reset();
  last_packet_.clear();
  outgoing_.push_back(CameraUnit{now_ms, ControlUnit(CONTROL_GONE), uint8_t{0}});
}

void PacketEndpoint::Leave(bool swap, uint64_t now_ms) {
  GoAway(now_ms);
  if (swap) model_ = &other_;
}

void PacketEndpoint::LeaveIfDue(uint64_t now_ms) {
  if (!leave_ || leave_->at_ms > now_ms) return;
  const ScriptedLeave leave = *leave_;
  leave_.reset();
  log_.Add(leave.at_ms, Direction::TO_HOST, {}, Verdict::FAULTED,
           FaultName(leave.swap ? FaultKind::SWAP : FaultKind::CAMERA_GONE));
  // Power goes with the camera: what it was doing is lost.
  model_->LoseRunningAction(leave.at_ms);
  action_done_ms_.reset();
  Leave(leave.swap, leave.at_ms);
}

void PacketEndpoint::Unplug(uint64_t now_ms) {
  unplugged_ = true;
  outgoing_.clear();
  action_done_ms_.reset();
  if (write_ && !write_->ended) EndWrite(false, now_ms);
  log_.Add(now_ms, Direction::TO_HOST, {}, Verdict::IGNORED, "unplugged");
}

void FaultWindow::Open(uint64_t now_ms, uint32_t length_ms) {
  open = true;
  from_ms = now_ms;
  until_ms = length_ms == 0 ? 0 : now_ms + length_ms;
}

bool FaultWindow::Covers(uint64_t now_ms) const {
  return open && now_ms >= from_ms && (until_ms == 0 || now_ms < until_ms);
}

}  // namespace pelox::sim
