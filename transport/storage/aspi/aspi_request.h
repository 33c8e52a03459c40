#pragma once
// The link's ASPI execute request: loading and storing its fields, its CDB,
// and running one command with it.
#include <cstdint>
#include <span>

#include "transport/port/port_state.h"
#include "transport/storage/aspi/aspi_srb.h"
#include "transport/storage/pipe_format.h"
#include "transport/storage/request_block.h"

namespace pelox {

inline SRB_ExecSCSICmd AspiLoadRequest(const PortState* link) {
  return LoadRequest<SRB_ExecSCSICmd>(*link->exec_srb);
}

inline void AspiStoreRequest(const SRB_ExecSCSICmd& request, PortState* link) {
  StoreRequest(request, *link->exec_srb);
}

inline std::span<uint8_t, PIPE_CDB_SIZE> AspiCdb(PortState* link) {
  return std::span<uint8_t, PIPE_CDB_SIZE>(
      link->exec_srb->data() + offsetof(SRB_ExecSCSICmd, CDBByte), PIPE_CDB_SIZE);
}

// Run the link's current command: the ASPI status, or SS_COMP or SS_ABORTED
// after waiting `wait_seconds` for a command that was still pending.
int32_t AspiScsiIn(PortState* link, std::span<uint8_t> buffer);
int32_t AspiScsiOut(PortState* link, std::span<const uint8_t> buffer);

}  // namespace pelox
