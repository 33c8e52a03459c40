#pragma once
// Open, close, read and write for the variants that hold an opened device
// handle (pass-through and SG_IO): the link claims a camera of the table,
// opens its device and keeps the handle until Close.
#include <cstdint>
#include <span>

#include "platform/devices.h"
#include "transport/discovery/device_table_internal.h"
#include "transport/port/port_state.h"
#include "transport/storage/pipe_phases.h"
#include "transport/storage/storage_ops.h"

namespace pelox {

// Outcomes of opening a camera's device.
enum DeviceOpening : int32_t { DEVICE_OPENED = 0, DEVICE_DENIED = 1, DEVICE_FAILED = 2 };

struct DevicePipe {
  PipeVariant pipe;
  ClaimBy claim_by;
  // Readies the link's request block; false when it cannot be had.
  bool (*prepare)(PortState* link);
  // Fills the device table: 0 when a camera was found.
  int32_t (*discover)(PortState* link);
  DriveHandle (*open_device)(const CameraDevice& camera, int32_t& outcome);
  bool (*close_device)(DriveHandle device);
  int32_t write_timeout_seconds;
};

int32_t DevicePipeOpen(const DevicePipe& variant, int32_t type, PortState* link);
int32_t DevicePipeClose(const DevicePipe& variant, PortState* link);
int32_t DevicePipeRead(const DevicePipe& variant, std::span<uint8_t> buffer, int32_t timeout,
                       PortState* link);
int32_t DevicePipeWrite(const DevicePipe& variant, std::span<const uint8_t> data, PortState* link);

// The operations table of such a variant; `discover` fills its Discover slot.
template <const DevicePipe& variant>
constexpr StorageOps DevicePipeOperations(int32_t (*discover)(PortState*)) {
  return {
      .Open = [](int32_t type, PortState* link) { return DevicePipeOpen(variant, type, link); },
      .Discover = discover,
      .Close = [](PortState* link) { return DevicePipeClose(variant, link); },
      .Read = [](PortState* link, std::span<uint8_t> buffer,
                 int32_t timeout) { return DevicePipeRead(variant, buffer, timeout, link); },
      .Write = [](PortState* link,
                  std::span<const uint8_t> data) { return DevicePipeWrite(variant, data, link); },
      .ScsiIn = variant.pipe.scsi_in,
      .ScsiOut = variant.pipe.scsi_out,
  };
}

}  // namespace pelox
