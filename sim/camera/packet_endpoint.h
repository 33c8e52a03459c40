#pragma once
// The camera's side of the packet protocol, shared by the serial face and
// the storage face: it takes each unit the host sends (one packet or one
// control byte), judges it, logs it, has the camera model act on it, and
// queues the units the camera sends back, each with the time it is ready.
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/camera/camera_log.h"
#include "sim/camera/camera_model.h"
#include "sim/camera/fault_plan.h"
#include "sim/camera/wire.h"

namespace pelox::sim {

struct CameraUnit {
  uint64_t ready_ms = 0;
  std::vector<uint8_t> bytes;
  // After sending this unit the camera talks at the speed of this index.
  std::optional<uint8_t> then_speed_index;
};

// The time a lasting fault holds.
struct FaultWindow {
  bool open = false;
  uint64_t from_ms = 0;
  uint64_t until_ms = 0;  // 0: for good

  void Open(uint64_t now_ms, uint32_t length_ms);  // length 0: for good
  bool Covers(uint64_t now_ms) const;
};

class PacketEndpoint {
 public:
  // `other` answers in place of `model` once a swap fault has fired.
  PacketEndpoint(CameraModel& model, CameraModel& other, CameraLog& log, FaultPlan& faults);

  void Receive(std::span<const uint8_t> unit, uint64_t now_ms);
  // The next unit ready by `now_ms`, in order; it is logged as sent.
  std::optional<CameraUnit> TakeReady(uint64_t now_ms);
  // When the first queued unit becomes ready.
  std::optional<uint64_t> NextReadyMs() const;

  bool Unplugged() const { return unplugged_; }
  void Unplug(uint64_t now_ms);
  // Whether the host's port calls fail at `now_ms` (a port-failure fault).
  bool PortFailing(uint64_t now_ms) const { return port_failure_.Covers(now_ms); }
  // Whether the storage device refuses every command at `now_ms`.
  bool ScsiRefusing(uint64_t now_ms) const { return scsi_refusal_.Covers(now_ms); }
  // Replies the host never read: those it sent a new request over, and
  // those still waiting.
  size_t UnreadReplies() const { return unread_replies_ + outgoing_.size(); }
  // Write commands (action 11) that reached the camera, heard or not, and
  // how many of them it asked for again with NAK.
  uint32_t WriteCommands() const { return write_commands_; }
  uint32_t WriteCommandNaks() const { return write_command_naks_; }

 private:
  struct ReadInProgress {
    uint8_t kind = 0;
    std::vector<uint8_t> data;
    size_t frame_size = SMALL_PAYLOAD;
    size_t offset = 0;  // of the frame sent last
    uint8_t sequence = 0;
  };
  struct WriteInProgress {
    uint8_t kind = 0;
    size_t capacity = SMALL_PAYLOAD;
    bool checksummed = true;
    uint8_t next_sequence = 0;
    bool data_taken = false;    // at least one data frame was taken
    bool may_continue = false;  // a full command frame: data frames may follow
    bool ended = false;         // kept to acknowledge a resent last frame
  };
  using ReplyFault = std::optional<FaultRule>;

  void ReceiveControl(std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveFrame(std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveCommand(const Frame& frame, std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveData(const Frame& frame, std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveRequest(std::span<const uint8_t> payload, std::span<const uint8_t> unit,
                      uint64_t now_ms);
  void ReceiveSet(std::span<const uint8_t> body, std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveGet(std::span<const uint8_t> body, std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveAction(std::span<const uint8_t> body, std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveRead(uint8_t request_class, std::span<const uint8_t> body,
                   std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveWrite(uint8_t request_class, std::span<const uint8_t> body,
                    std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveSpeed(std::span<const uint8_t> payload, std::span<const uint8_t> unit,
                    uint64_t now_ms);
  void ReceiveAck(std::span<const uint8_t> unit, uint64_t now_ms);
  void SendReadFrame(uint64_t now_ms, ReplyFault inherited);
  // Ends the write in progress; false when the camera refuses what came.
  bool EndWrite(bool complete, uint64_t now_ms);

  // Counts the unit against the fault plan. When a fault takes the unit
  // over, it is handled here and `taken` is set; a fault that only changes
  // the reply is returned for Answer.
  ReplyFault Intercept(FaultTarget target, int32_t id, std::span<const uint8_t> unit,
                       uint64_t now_ms, bool& taken);
  // Logs the host's unit and queues the camera's reply (none when empty).
  void Answer(std::span<const uint8_t> unit, Verdict verdict, std::vector<uint8_t> reply,
              uint64_t now_ms, ReplyFault fault = std::nullopt, std::string note = {},
              std::optional<uint8_t> then_speed_index = std::nullopt);
  void Emit(std::vector<uint8_t> reply, uint64_t now_ms, const ReplyFault& fault,
            std::optional<uint8_t> then_speed_index);
  // A write command under a rewrite fault: the write starts afresh, with
  // neither ACK nor end byte, and the camera is deaf again for its silence.
  void WriteSilently(std::span<const uint8_t> unit, uint64_t now_ms);
  void GoAway(uint64_t now_ms);
  // A camera gone or swapped at `now_ms` (CAMERA_GONE and SWAP faults).
  void Leave(bool swap, uint64_t now_ms);
  // Carries out a leave scripted for a time that has come.
  void LeaveIfDue(uint64_t now_ms);

  CameraModel* model_;
  CameraModel& other_;
  CameraLog& log_;
  FaultPlan& faults_;
  std::deque<CameraUnit> outgoing_;
  std::optional<uint64_t> action_done_ms_;
  struct ScriptedLeave {
    uint64_t at_ms = 0;
    bool swap = false;
  };
  std::optional<ScriptedLeave> leave_;
  uint8_t action_end_byte_ = CONTROL_ACTION_DONE;
  uint64_t mute_until_ms_ = 0;       // a mute fault: nothing heard or sent before
  uint32_t rewrite_silence_ms_ = 0;  // a rewrite fault fired: each write command's silence
  uint32_t write_commands_ = 0;
  uint32_t write_command_naks_ = 0;
  size_t unread_replies_ = 0;
  std::optional<ReadInProgress> read_;
  std::optional<WriteInProgress> write_;
  std::vector<uint8_t> last_packet_;  // resent on the host's NAK
  bool unplugged_ = false;
  FaultWindow port_failure_;
  FaultWindow scsi_refusal_;
};

}  // namespace pelox::sim
