#pragma once
// A device on the simulated SCSI buses: every simulated entry point (ASPI
// manager, pass-through drives, SG devices) hands its commands to one.
#include <array>
#include <cstdint>
#include <span>

namespace pelox::sim {

enum class DataDirection { NONE, IN, OUT };

struct ScsiCommand {
  std::span<const uint8_t> cdb;
  std::span<uint8_t> data;
  DataDirection direction = DataDirection::NONE;
  // How long the host waits for the command; 0 when the entry point does not say.
  uint32_t timeout_ms = 0;
};

enum class ScsiOutcome {
  GOOD,
  CHECK_CONDITION,  // the device refused the command
  NO_RESPONSE,      // the device did not complete it: gone, or timed out
};

inline constexpr uint8_t SCSI_STATUS_CHECK_CONDITION = 0x02;
// The sense every entry point hands back with a refusal, in the fixed format:
// ILLEGAL REQUEST, invalid command operation code.
inline constexpr std::array<uint8_t, 14> REFUSAL_SENSE{0x70, 0, 0x05, 0, 0, 0,    0,
                                                       0x06, 0, 0,    0, 0, 0x20, 0x00};

class ScsiDevice {
 public:
  virtual ~ScsiDevice() = default;
  virtual ScsiOutcome Execute(const ScsiCommand& command) = 0;
};

}  // namespace pelox::sim
