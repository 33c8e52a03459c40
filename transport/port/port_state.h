#pragma once
// What the transport keeps for one port: its type, the serial device or the
// storage pipe's drive, request blocks and maker codes. The transport owns
// this record; a camera link holds one. Not installed: programs see the
// port state only by its pointer.
#include <array>
#include <cstdint>
#include <memory>

#include "platform/devices.h"
#include "platform/export.h"
#include "transport/port/port_types.h"

PELOX_API_BEGIN
namespace pelox {

// The maker's six storage-pipe operation codes.
struct OpcodeSet {
  uint8_t command;
  uint8_t data_out;
  uint8_t data_in;
  uint8_t status;
  uint8_t answer;
  uint8_t close;
};

inline constexpr size_t REQUEST_BLOCK_SIZE = 80;
// The sense bytes kept of a refused command: the fixed format's response
// code, sense key and additional sense code and qualifier all lie within.
inline constexpr size_t SENSE_BYTES_KEPT = 14;

// The status and sense of the last command, when the device refused it with
// a status of its own; cleared by the next command that ends otherwise.
struct ScsiRefusal {
  uint8_t scsi_status = 0;   // 0 when none was refused
  uint8_t sense_length = 0;  // the bytes of `sense` the device returned
  std::array<uint8_t, SENSE_BYTES_KEPT> sense{};
};
using RequestBlock = std::array<uint8_t, REQUEST_BLOCK_SIZE>;

struct PortState {
  int32_t port_type = PORT_TYPE_NONE;
  uint16_t vendor_code = 0;
  int32_t large_blocks = 0;
  const OpcodeSet* opcode_set = nullptr;
  int32_t device_index = 0;
  EventHandle completion_event = nullptr;
  std::unique_ptr<RequestBlock> exec_srb;
  std::unique_ptr<RequestBlock> pass_through;
  int32_t wait_seconds = 0;
  DriveHandle device_handle = nullptr;
  ScsiRefusal refusal;
  SerialHandle com_handle = nullptr;
};

}  // namespace pelox
PELOX_API_END
