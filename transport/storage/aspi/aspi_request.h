#pragma once
// The link's ASPI execute request: loading and storing its fields, its CDB,
// and running one command with it.
#include <bit>
#include <cstdint>
#include <span>

#include "link/camera_link.h"
#include "transport/storage/aspi/aspi_srb.h"
#include "transport/storage/pipe_format.h"

namespace pelox {

inline SRB_ExecSCSICmd AspiLoadRequest(const CameraLink* link) {
  return std::bit_cast<SRB_ExecSCSICmd>(*link->exec_srb);
}

inline void AspiStoreRequest(const SRB_ExecSCSICmd& request, CameraLink* link) {
  *link->exec_srb = std::bit_cast<RequestBlock>(request);
}

inline std::span<uint8_t, PIPE_CDB_SIZE> AspiCdb(CameraLink* link) {
  return std::span<uint8_t, PIPE_CDB_SIZE>(
      link->exec_srb->data() + offsetof(SRB_ExecSCSICmd, CDBByte), PIPE_CDB_SIZE);
}

// Run the link's current command: the ASPI status, or SS_COMP or SS_ABORTED
// after waiting `wait_seconds` for a command that was still pending.
int32_t AspiScsiIn(CameraLink* link, std::span<uint8_t> buffer);
int32_t AspiScsiOut(CameraLink* link, std::span<const uint8_t> buffer);

}  // namespace pelox
