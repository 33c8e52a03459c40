#pragma once
// The camera's storage face: the SCSI device a camera shows over USB. It
// answers INQUIRY with its vendor field and carries the camera's packets
// through the pipe's phases in the maker's operation codes: a write's
// packet reaches the packet endpoint, and the endpoint's next unit (ACK byte,
// get reply, read frame) travels as the data-in of the next read. It checks
// the phase order, the CDBs and the data headers, and records every CDB.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/camera/camera_log.h"
#include "sim/camera/packet_endpoint.h"
#include "sim/storage/scsi_device.h"

namespace pelox::sim {

// The header before each packet in a data-out phase.
inline constexpr size_t PIPE_DATA_HEADER_SIZE = 64;

struct StorageFaceClock {
  std::function<uint64_t()> now_ms;
  // Lets time pass up to the given moment, while the host waits for a command.
  std::function<void(uint64_t)> wait_until_ms;
};

struct CdbRecord {
  std::vector<uint8_t> cdb;
  DataDirection direction = DataDirection::NONE;
  size_t transfer_length = 0;
  uint32_t timeout_ms = 0;
};

class StorageFace : public ScsiDevice {
 public:
  // The maker follows from the vendor field's first letter, as the host's
  // lookup has it; a field that names no maker takes no pipe command.
  StorageFace(PacketEndpoint& endpoint, CameraLog& log, std::string vendor_field,
              StorageFaceClock clock);

  ScsiOutcome Execute(const ScsiCommand& command) override;

  const std::vector<CdbRecord>& Cdbs() const { return cdbs_; }
  // Phases out of order, malformed CDBs or headers.
  int32_t ProtocolErrors() const { return protocol_errors_; }
  int32_t CloseCount() const { return close_count_; }

 private:
  enum class Phase { IDLE, COMMANDED, WRITTEN, ANSWERED, RECEIVED };

  ScsiOutcome RunPipe(uint8_t role, const ScsiCommand& command);
  ScsiOutcome Command(const ScsiCommand& command);
  ScsiOutcome DataOut(const ScsiCommand& command);
  ScsiOutcome Answer(const ScsiCommand& command);
  ScsiOutcome DataIn(const ScsiCommand& command);
  ScsiOutcome Status(const ScsiCommand& command);
  ScsiOutcome Refuse(const ScsiCommand& command, Verdict verdict, const char* note);
  bool CdbWellFormed(uint8_t role, const ScsiCommand& command) const;

  PacketEndpoint& endpoint_;
  CameraLog& log_;
  std::string vendor_field_;
  StorageFaceClock clock_;
  int32_t opcode_base_ = -1;
  uint8_t maker_flag_ = 0;
  Phase phase_ = Phase::IDLE;
  std::vector<uint8_t> pending_reply_;
  std::vector<CdbRecord> cdbs_;
  int32_t protocol_errors_ = 0;
  int32_t close_count_ = 0;
};

}  // namespace pelox::sim
