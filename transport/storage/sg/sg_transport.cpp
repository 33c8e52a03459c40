#include "transport/storage/sg/sg_transport.h"

#include <algorithm>
#include <new>

#include "platform/sg.h"
#include "transport/storage/device_pipe.h"
#include "transport/storage/sg/sg_discovery.h"
#include "transport/storage/sg/sg_request.h"

namespace pelox {
namespace {

void SetTimeout(PortState* link, int32_t seconds) {
  SgRequest request = SgLoadRequest(link);
  request.timeout_seconds = static_cast<uint32_t>(std::max(seconds, SG_SHORTEST_TIMEOUT_SECONDS));
  SgStoreRequest(request, link);
}

static_assert(SG_TRANSFER_FAILED == PIPE_COMPLETION_FAILED &&
              SG_CHECK_STATUS == PIPE_COMPLETION_SCSI_ERROR);

// The link record has no block of its own for SG_IO; it takes the
// pass-through one, which no other variant uses on this system.
bool PrepareRequest(PortState* link) {
  if (link->pass_through == nullptr) link->pass_through.reset(new (std::nothrow) RequestBlock{});
  return link->pass_through != nullptr;
}

DriveHandle OpenNode(const CameraDevice& camera, int32_t& outcome) {
  int32_t sg_outcome = SG_OPEN_FAILED;
  DriveHandle device = SgOpen(camera.path, sg_outcome);
  outcome = sg_outcome == SG_OPEN_OK       ? DEVICE_OPENED
            : sg_outcome == SG_OPEN_DENIED ? DEVICE_DENIED
                                           : DEVICE_FAILED;
  return device;
}

constexpr DevicePipe SG_PIPE{
    .pipe =
        {
            .cdb = SgCdb,
            .scsi_in = SgScsiIn,
            .scsi_out = SgScsiOut,
            .phase_result = PipeResultOfCompletion,
            .set_timeout = SetTimeout,
            .read_status_counts = false,
        },
    .claim_by = ClaimBy::TABLE_INDEX,
    .prepare = PrepareRequest,
    .discover = SgDiscover,
    .open_device = OpenNode,
    .close_device = SgClose,
    .write_timeout_seconds = SG_WRITE_TIMEOUT_SECONDS,
};

constexpr StorageOps SG_OPERATIONS = DevicePipeOperations<SG_PIPE>(SgDiscover);

}  // namespace

const StorageOps& SgOperations() { return SG_OPERATIONS; }

}  // namespace pelox
