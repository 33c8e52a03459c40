#include "transport/code_text.h"

#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/storage_init.h"

namespace pelox {

std::string_view PortResultText(int32_t result) {
  switch (result) {
    case PORT_OK: return "done";
    case PORT_FAILED: return "serial call or open failed";
    case PORT_TRANSFER_FAILED: return "storage transfer failed or timed out";
    case PORT_SCSI_ERROR: return "SCSI error status";
    default: return result > PORT_OK ? "bytes transferred" : "unknown port result";
  }
}

std::string_view DiscoverySystemErrorText(int32_t error) {
  switch (error) {
    case 0: return "no system error";
    case DISCOVERY_ERROR_NOT_READY: return "no camera drive ready";
    default: return "unknown system error";
  }
}

std::string_view StorageVariantText(int32_t mode) {
  switch (mode) {
    case STORAGE_MODE_NONE: return "no storage variant";
    case STORAGE_MODE_PASS_THROUGH: return "SCSI pass-through";
    case STORAGE_MODE_ASPI: return "ASPI";
    case STORAGE_MODE_SG_IO: return "SG_IO";
    default: return "unknown storage variant";
  }
}

std::string_view StorageInitResultText(int32_t result) {
  switch (result) {
    case STORAGE_INIT_DONE: return "storage variant chosen";
    case STORAGE_INIT_NO_ASPI: return "ASPI library not available";
    default: return "unknown storage setup result";
  }
}

std::string_view VendorLookupText(int32_t result) {
  switch (result) {
    case VENDOR_FOUND: return "camera maker found";
    case VENDOR_NOT_A_CAMERA: return "not a camera";
    default: return "unknown vendor lookup result";
  }
}

}  // namespace pelox
