#pragma once
// A device on the simulated SCSI buses: every simulated entry point (ASPI
// manager, pass-through drives, SG devices) hands its commands to one.
#include <cstdint>
#include <span>

namespace pelox::sim {

inline constexpr uint8_t SCSI_STATUS_GOOD = 0x00;
inline constexpr uint8_t SCSI_STATUS_CHECK_CONDITION = 0x02;

enum class DataDirection { NONE, IN, OUT };

class ScsiDevice {
 public:
  virtual ~ScsiDevice() = default;
  // Runs one command with its data phase; returns the SCSI status.
  virtual uint8_t Execute(std::span<const uint8_t> cdb, std::span<uint8_t> data,
                          DataDirection direction) = 0;
};

}  // namespace pelox::sim
