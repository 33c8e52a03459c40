#pragma once
// The link's pass-through request: SCSI_PASS_THROUGH_DIRECT as the 32-bit
// system lays it out, then its sense area, in the link's 80-byte block.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/spti.h"
#include "transport/port/port_state.h"
#include "transport/storage/pipe_format.h"
#include "transport/storage/request_block.h"

namespace pelox {

inline constexpr uint8_t SCSI_IOCTL_DATA_OUT = 0;
inline constexpr uint8_t SCSI_IOCTL_DATA_IN = 1;
inline constexpr uint8_t SPTI_SENSE_SIZE = 24;
inline constexpr uint32_t SPTI_SENSE_OFFSET = 48;

#pragma pack(push, 1)
struct SCSI_PASS_THROUGH_DIRECT {
  uint16_t Length;
  uint8_t ScsiStatus;
  uint8_t PathId;
  uint8_t TargetId;
  uint8_t Lun;
  uint8_t CdbLength;
  uint8_t SenseInfoLength;
  uint8_t DataIn;
  std::array<uint8_t, 3> alignment;
  uint32_t DataTransferLength;
  uint32_t TimeOutValue;
  uint32_t DataBuffer;
  uint32_t SenseInfoOffset;
  std::array<uint8_t, 16> Cdb;
};
#pragma pack(pop)

static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == SPTD_SIZE);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == SPTD_DATA_IN_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) ==
              SPTD_DATA_TRANSFER_LENGTH_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == SPTD_TIME_OUT_VALUE_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == SPTD_DATA_BUFFER_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == SPTD_SENSE_INFO_OFFSET_OFFSET);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == SPTD_CDB_OFFSET);
static_assert(SPTI_SENSE_OFFSET + SPTI_SENSE_SIZE <= REQUEST_BLOCK_SIZE);

inline SCSI_PASS_THROUGH_DIRECT SptiLoadRequest(const PortState* link) {
  return LoadRequest<SCSI_PASS_THROUGH_DIRECT>(*link->pass_through);
}

inline void SptiStoreRequest(const SCSI_PASS_THROUGH_DIRECT& request, PortState* link) {
  StoreRequest(request, *link->pass_through);
}

inline std::span<uint8_t, PIPE_CDB_SIZE> SptiCdb(PortState* link) {
  return std::span<uint8_t, PIPE_CDB_SIZE>(link->pass_through->data() + SPTD_CDB_OFFSET,
                                           PIPE_CDB_SIZE);
}

// Run the link's current command on `drive`: nonzero when the driver
// completed the call, 0 on failure. The device's own status is not looked at.
int32_t SptiRun(DriveHandle drive, uint8_t data_in, std::span<uint8_t> buffer, PortState* link);
// A phase of the pipe: PIPE_COMPLETION_DONE, PIPE_COMPLETION_FAILED when the
// driver failed, or PIPE_COMPLETION_SCSI_ERROR when the device refused the
// command (its first sense bytes kept in the link).
int32_t SptiScsiIn(PortState* link, std::span<uint8_t> buffer);
int32_t SptiScsiOut(PortState* link, std::span<const uint8_t> buffer);

}  // namespace pelox
