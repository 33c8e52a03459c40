#include "transport/storage/device_pipe.h"

#include "transport/port/port.h"

namespace pelox {
namespace {

void CloseDevice(const DevicePipe& variant, PortState* link) {
  if (link->device_handle == nullptr) return;
  variant.close_device(link->device_handle);
  link->device_handle = nullptr;
}

}  // namespace

int32_t DevicePipeOpen(const DevicePipe& variant, int32_t type, PortState* link) {
  if (!variant.prepare(link)) return PORT_FAILED;
  // A link that opens again gives back what it held.
  CloseDevice(variant, link);
  DeviceReleaseClaims(link);
  if (variant.discover(link) != 0) return PORT_FAILED;

  const int32_t claimed = DeviceClaimFirstFree(variant.claim_by, link);
  if (claimed < 0) return PORT_FAILED;
  link->device_index = claimed;
  const CameraDevice& camera = *DeviceTableEntry(claimed);
  int32_t outcome = DEVICE_FAILED;
  DriveHandle device = variant.open_device(camera, outcome);
  if (device == nullptr || !PipeAdoptCamera(variant.pipe, camera.vendor_code, link)) {
    if (device != nullptr) variant.close_device(device);
    if (outcome == DEVICE_DENIED) DiscoveryNoteDenied(camera.path);
    DeviceReleaseClaims(link);
    return PORT_FAILED;
  }
  link->device_handle = device;
  return type;
}

int32_t DevicePipeClose(const DevicePipe& variant, PortState* link) {
  if (link->device_handle != nullptr) {
    PipeSendClose(variant.pipe, link);
    CloseDevice(variant, link);
  }
  DeviceReleaseClaims(link);
  return 1;
}

int32_t DevicePipeRead(const DevicePipe& variant, std::span<uint8_t> buffer, int32_t timeout,
                       PortState* link) {
  if (link->device_handle == nullptr) return PORT_TRANSFER_FAILED;
  variant.pipe.set_timeout(link, timeout);
  return PipeRead(variant.pipe, buffer, timeout, link);
}

int32_t DevicePipeWrite(const DevicePipe& variant, std::span<const uint8_t> data, PortState* link) {
  if (link->device_handle == nullptr) return PORT_TRANSFER_FAILED;
  variant.pipe.set_timeout(link, variant.write_timeout_seconds);
  return PipeWrite(variant.pipe, data, link);
}

}  // namespace pelox
