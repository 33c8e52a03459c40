#include "transport/storage/sg/sg_transport.h"

#include <algorithm>
#include <memory>
#include <new>

#include "platform/sg.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/pipe_phases.h"
#include "transport/storage/sg/sg_discovery.h"
#include "transport/storage/sg/sg_request.h"

namespace pelox {
namespace {

void SetTimeout(CameraLink* link, int32_t seconds) {
  SgRequest request = SgLoadRequest(link);
  request.timeout_seconds = static_cast<uint32_t>(std::max(seconds, SG_SHORTEST_TIMEOUT_SECONDS));
  SgStoreRequest(request, link);
}

static_assert(SG_TRANSFER_FAILED == PIPE_COMPLETION_FAILED &&
              SG_CHECK_STATUS == PIPE_COMPLETION_SCSI_ERROR);

constexpr PipeVariant SG_PIPE{SgCdb, SgScsiIn, SgScsiOut, PipeResultOfCompletion, SetTimeout,
                              false};

void CloseDevice(CameraLink* link) {
  if (link->device_handle == nullptr) return;
  SgClose(link->device_handle);
  link->device_handle = nullptr;
}

int32_t Open(int32_t type, CameraLink* link) {
  // The link record has no block of its own for SG_IO; it shares the
  // pass-through one, which no other variant uses on this system.
  if (link->pass_through == nullptr) {
    link->pass_through.reset(new (std::nothrow) RequestBlock{});
    if (link->pass_through == nullptr) return PORT_FAILED;
  }
  // A link that opens again gives back what it held.
  CloseDevice(link);
  DeviceReleaseClaims(link);
  if (SgDiscover(link) != 0) return PORT_FAILED;

  const int32_t claimed = DeviceClaimFirstFree(ClaimBy::TABLE_INDEX, link);
  if (claimed < 0) return PORT_FAILED;
  link->device_index = claimed;
  const CameraDevice& camera = *DeviceTableEntry(claimed);
  int32_t outcome = SG_OPEN_FAILED;
  DriveHandle device = SgOpen(camera.path, outcome);
  if (device == nullptr || !PipeAdoptCamera(SG_PIPE, camera.vendor_code, link)) {
    if (device != nullptr) SgClose(device);
    if (outcome == SG_OPEN_DENIED) DiscoveryNoteDenied(camera.path);
    DeviceReleaseClaims(link);
    return PORT_FAILED;
  }
  link->device_handle = device;
  return type;
}

int32_t Close(CameraLink* link) {
  if (link->device_handle != nullptr) {
    PipeSendClose(SG_PIPE, link);
    CloseDevice(link);
  }
  DeviceReleaseClaims(link);
  return 1;
}

int32_t Write(CameraLink* link, std::span<const uint8_t> data) {
  if (link->device_handle == nullptr) return PORT_TRANSFER_FAILED;
  SetTimeout(link, SG_WRITE_TIMEOUT_SECONDS);
  return PipeWrite(SG_PIPE, data, link);
}

int32_t Read(CameraLink* link, std::span<uint8_t> buffer, int32_t timeout) {
  if (link->device_handle == nullptr) return PORT_TRANSFER_FAILED;
  SetTimeout(link, timeout);
  return PipeRead(SG_PIPE, buffer, timeout, link);
}

constexpr StorageOps SG_OPERATIONS{Open, SgDiscover, Close, Read, Write, SgScsiIn, SgScsiOut};

}  // namespace

const StorageOps& SgOperations() { return SG_OPERATIONS; }

}  // namespace pelox
