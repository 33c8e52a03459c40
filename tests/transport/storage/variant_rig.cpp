#include "tests/transport/storage/variant_rig.h"

#include "platform/event.h"
#include "platform/sg.h"
#include "platform/spti.h"
#include "sim/virtual_clock.h"
#include "transport/discovery/device_table.h"
#include "transport/storage/storage_ops.h"

namespace pelox::test {
namespace {

void ResetPlatform() {
  StorageResetState();
  DeviceTableReset();
  sim::StorageBusReset();
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
  sim::StorageBusUse(variant);
  StorageTransportInit(STORAGE_INIT_REQUEST);
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
  sim::StorageBusAttach(variant_, ++attached_, device);
}

int32_t VariantRig::Open(CameraLink& link) {
  return StorageOpsTable().Open(PORT_TYPE_STORAGE, &link);
}

}  // namespace pelox::test
