#pragma once
// The link's SG_IO request state, kept in the link's pass-through block: the
// current CDB and the seconds its command may take.
#include <array>
#include <cstdint>
#include <cstring>
#include <span>

#include "link/camera_link.h"
#include "transport/storage/pipe_format.h"

namespace pelox {

struct SgRequest {
  std::array<uint8_t, PIPE_CDB_SIZE> cdb;
  uint32_t timeout_seconds;
};
static_assert(sizeof(SgRequest) <= REQUEST_BLOCK_SIZE);

inline SgRequest SgLoadRequest(const CameraLink* link) {
  SgRequest request;
  std::memcpy(&request, link->pass_through->data(), sizeof request);
  return request;
}

inline void SgStoreRequest(const SgRequest& request, CameraLink* link) {
  std::memcpy(link->pass_through->data(), &request, sizeof request);
}

inline std::span<uint8_t, PIPE_CDB_SIZE> SgCdb(CameraLink* link) {
  return std::span<uint8_t, PIPE_CDB_SIZE>(link->pass_through->data() + offsetof(SgRequest, cdb),
                                           PIPE_CDB_SIZE);
}

// Run the link's current CDB on its device: SG_DONE, SG_TRANSFER_FAILED or
// SG_CHECK_STATUS.
int32_t SgScsiIn(CameraLink* link, std::span<uint8_t> buffer);
int32_t SgScsiOut(CameraLink* link, std::span<const uint8_t> buffer);

}  // namespace pelox
