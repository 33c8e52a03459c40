#include "tests/transport/storage/variant_rig.h"

#include "platform/event.h"
#include "platform/sg.h"
#include "platform/spti.h"
#include "sim/storage/aspi_manager.h"
#include "sim/storage/os_version.h"
#include "sim/storage/pass_through_drives.h"
#include "sim/storage/sg_devices.h"
#include "sim/virtual_clock.h"
#include "transport/discovery/device_table.h"
#include "transport/storage/storage_ops.h"

namespace pelox::test {
namespace {

constexpr OsVersion WINDOWS_98{OS_PLATFORM_WINDOWS_9X, 4, 10};
constexpr OsVersion WINDOWS_XP{OS_PLATFORM_WINDOWS_NT, 5, 1};
constexpr OsVersion LINUX{OS_PLATFORM_LINUX, 6, 1};

void ResetPlatform() {
  StorageResetState();
  DeviceTableReset();
  sim::AspiManagerReset();
  sim::PassThroughDrivesReset();
  sim::SgDevicesReset();
  sim::SimOsVersionReset();
  sim::VirtualClockReset();
}

}  // namespace

std::string VariantName(Variant variant) {
  switch (variant) {
    case Variant::ASPI: return "Aspi";
    case Variant::PASS_THROUGH: return "PassThrough";
    case Variant::SG_IO: return "SgIo";
  }
  return "Unknown";
}

VariantRig::VariantRig(Variant variant) : variant_(variant) {
  ResetPlatform();
  switch (variant) {
    case Variant::ASPI:
      sim::AspiManagerInstall();
      sim::AspiManagerAddAdapter();
      sim::SimOsVersionSet(WINDOWS_98);
      break;
    case Variant::PASS_THROUGH:
      sim::PassThroughDriveAdd({'C', sim::DRIVE_FIXED, nullptr});
      sim::SimOsVersionSet(WINDOWS_XP);
      break;
    case Variant::SG_IO: sim::SimOsVersionSet(LINUX); break;
  }
  StorageTransportInit(1);
  links_.push_back(NewLink());
}

VariantRig::~VariantRig() {
  // The devices may be gone already: handles are let go without a close command.
  for (auto& link : links_) {
    if (link->completion_event != nullptr) EventClose(link->completion_event);
    if (link->device_handle == nullptr) continue;
    if (variant_ == Variant::SG_IO) {
      SgClose(link->device_handle);
    } else {
      DriveClose(link->device_handle);
    }
  }
  ResetPlatform();
}

std::unique_ptr<CameraLink> VariantRig::NewLink() const {
  auto link = std::make_unique<CameraLink>();
  if (variant_ == Variant::ASPI) {
    link->exec_srb = std::make_unique<RequestBlock>();
    link->completion_event = EventCreate();
  } else if (variant_ == Variant::PASS_THROUGH) {
    link->pass_through = std::make_unique<RequestBlock>();
  }
  return link;
}

CameraLink& VariantRig::AddLink() {
  links_.push_back(NewLink());
  return *links_.back();
}

void VariantRig::Attach(sim::ScsiDevice& device) {
  ++attached_;
  switch (variant_) {
    case Variant::ASPI:
      sim::AspiManagerAttach(0, static_cast<uint8_t>(attached_), 0, device);
      break;
    case Variant::PASS_THROUGH:
      sim::PassThroughDriveAdd(
          {static_cast<char>('D' + attached_), DRIVE_TYPE_REMOVABLE, &device});
      break;
    case Variant::SG_IO:
      sim::SgDeviceAdd({"/dev/sg" + std::to_string(attached_), &device});
      break;
  }
}

int32_t VariantRig::Open(CameraLink& link) {
  return StorageOpsTable().Open(PORT_TYPE_STORAGE, &link);
}

}  // namespace pelox::test
