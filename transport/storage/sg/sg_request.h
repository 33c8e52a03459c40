#pragma once
// The link's SG_IO request state, kept in the link's pass-through block: the
// current CDB and the seconds its command may take.
#include <array>
#include <cstdint>
#include <span>

#include "transport/port/port_state.h"
#include "transport/storage/pipe_format.h"
#include "transport/storage/request_block.h"

namespace pelox {

struct SgRequest {
  std::array<uint8_t, PIPE_CDB_SIZE> cdb;
  uint32_t timeout_seconds;
};

inline SgRequest SgLoadRequest(const PortState* link) {
  return LoadRequest<SgRequest>(*link->pass_through);
}

inline void SgStoreRequest(const SgRequest& request, PortState* link) {
  StoreRequest(request, *link->pass_through);
}

inline std::span<uint8_t, PIPE_CDB_SIZE> SgCdb(PortState* link) {
  return std::span<uint8_t, PIPE_CDB_SIZE>(link->pass_through->data() + offsetof(SgRequest, cdb),
                                           PIPE_CDB_SIZE);
}

// Run the link's current CDB on its device: SG_DONE, SG_TRANSFER_FAILED or
// SG_CHECK_STATUS (the device's status and first sense bytes kept in the link).
int32_t SgScsiIn(PortState* link, std::span<uint8_t> buffer);
int32_t SgScsiOut(PortState* link, std::span<const uint8_t> buffer);

}  // namespace pelox
