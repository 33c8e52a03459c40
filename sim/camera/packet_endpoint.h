#pragma once
// The camera's side of the packet protocol, shared by the serial face and
// the storage face: it takes each unit the host sends (one packet or one
// control byte), judges it, logs it, has the camera model act on it, and
// queues the units the camera sends back, each with the time it is ready.
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "sim/camera/camera_log.h"
#include "sim/camera/camera_model.h"
#include "sim/camera/fault_plan.h"

namespace pelox::sim {

struct CameraUnit {
  uint64_t ready_ms = 0;
  std::vector<uint8_t> bytes;
  // After sending this unit the camera talks at the speed of this index.
  std::optional<uint8_t> then_speed_index;
};

class PacketEndpoint {
 public:
  PacketEndpoint(CameraModel& model, CameraLog& log, FaultPlan& faults);

  void Receive(std::span<const uint8_t> unit, uint64_t now_ms);
  // The next unit ready by `now_ms`, in order; it is logged as sent.
  std::optional<CameraUnit> TakeReady(uint64_t now_ms);
  // When the first queued unit becomes ready.
  std::optional<uint64_t> NextReadyMs() const;

  bool Unplugged() const { return unplugged_; }
  void Unplug(uint64_t now_ms);
  // The host's port calls fail at `now_ms` (a port-failure fault).
  bool PortFailing(uint64_t now_ms) const;

 private:
  struct ReadInProgress {
    std::vector<uint8_t> data;
    size_t frame_size = SMALL_PAYLOAD;
    size_t offset = 0;  // of the frame sent last
    uint8_t sequence = 0;
  };
  struct WriteInProgress {
    size_t capacity = SMALL_PAYLOAD;
    bool checksummed = true;
    uint8_t next_sequence = 0;
    bool ended = false;          // its last frame arrived
    bool may_continue = false;   // a full command frame: data frames may follow
  };
  struct Reply {
    std::vector<uint8_t> bytes;
    std::optional<uint8_t> then_speed_index;
    uint64_t delay_ms = 0;
  };

  void ReceiveControl(uint8_t byte, uint64_t now_ms);
  void ReceiveFrame(std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveCommand(const struct Frame& frame, std::span<const uint8_t> unit, uint64_t now_ms);
  void ReceiveData(const struct Frame& frame, std::span<const uint8_t> unit, uint64_t now_ms);
  void Request(uint8_t request_class, std::span<const uint8_t> body,
               std::span<const uint8_t> unit, uint64_t now_ms);
  void StartRead(uint8_t kind, size_t frame_size, std::span<const uint8_t> unit, uint64_t now_ms);
  void StartWrite(uint8_t request_class, std::span<const uint8_t> body,
                  std::span<const uint8_t> unit, uint64_t now_ms);
  void SendReadFrame(uint64_t now_ms);
  void EndWrite(bool complete, uint64_t now_ms);

  // Consults the fault plan; true when a fault took the unit over.
  bool Intercept(FaultTarget target, int32_t id, std::span<const uint8_t> unit, uint64_t now_ms);
  void Answer(std::span<const uint8_t> unit, Verdict verdict, std::vector<uint8_t> reply,
              uint64_t now_ms, const char* note = "");
  void Queue(std::vector<uint8_t> bytes, uint64_t ready_ms,
             std::optional<uint8_t> then_speed_index = std::nullopt);
  void GoAway(uint64_t now_ms);

  CameraModel& model_;
  CameraLog& log_;
  FaultPlan& faults_;
  std::deque<CameraUnit> outgoing_;
  std::optional<ReadInProgress> read_;
  std::optional<WriteInProgress> write_;
  std::vector<uint8_t> last_packet_;  // resent on the host's NAK
  std::optional<FaultRule> reply_fault_;  // applies to the reply being built
  bool unplugged_ = false;
  uint64_t port_failure_from_ms_ = 0;
  uint64_t port_failure_until_ms_ = 0;  // 0 with a start: for good
  bool port_failure_ = false;
};

}  // namespace pelox::sim
