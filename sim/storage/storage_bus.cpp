#include "sim/storage/storage_bus.h"

#include <string>

#include "sim/storage/aspi_manager.h"
#include "sim/storage/os_version.h"
#include "sim/storage/pass_through_drives.h"
#include "sim/storage/sg_devices.h"

namespace pelox::sim {
namespace {

constexpr OsVersion WINDOWS_98{OS_PLATFORM_WINDOWS_9X, 4, 10};
constexpr OsVersion WINDOWS_XP{OS_PLATFORM_WINDOWS_NT, 5, 1};
constexpr OsVersion LINUX{OS_PLATFORM_LINUX, 6, 1};

}  // namespace

void StorageBusReset() {
  AspiManagerReset();
  PassThroughDrivesReset();
  SgDevicesReset();
  SimOsVersionReset();
}

void StorageBusUse(StorageVariant variant) {
  switch (variant) {
    case StorageVariant::ASPI:
      AspiManagerInstall();
      AspiManagerAddAdapter();
      SimOsVersionSet(WINDOWS_98);
      break;
    case StorageVariant::PASS_THROUGH:
      PassThroughDriveAdd({'C', DRIVE_FIXED, nullptr});
      SimOsVersionSet(WINDOWS_XP);
      break;
    case StorageVariant::SG_IO: SimOsVersionSet(LINUX); break;
  }
}

void StorageBusAttach(StorageVariant variant, int32_t position, ScsiDevice& device) {
  switch (variant) {
    case StorageVariant::ASPI:
      AspiManagerAttach(0, static_cast<uint8_t>(position), 0, device);
      break;
    case StorageVariant::PASS_THROUGH:
      PassThroughDriveAdd({static_cast<char>('D' + position), DRIVE_TYPE_REMOVABLE, &device});
      break;
    case StorageVariant::SG_IO: SgDeviceAdd({"/dev/sg" + std::to_string(position), &device}); break;
  }
}

}  // namespace pelox::sim
