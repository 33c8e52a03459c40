#pragma once
// One storage-pipe variant on the simulated platform, with a link prepared
// for it and places to attach SCSI devices.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "link/link_record.h"
#include "sim/storage/scsi_device.h"
#include "sim/storage/storage_bus.h"

namespace pelox::test {

using Variant = sim::StorageVariant;

std::string VariantName(Variant variant);

// For suites run through every variant.
inline const auto EVERY_VARIANT =
    ::testing::Values(Variant::ASPI, Variant::PASS_THROUGH, Variant::SG_IO);
inline std::string VariantTestName(const ::testing::TestParamInfo<Variant>& param_info) {
  return VariantName(param_info.param);
}

class VariantRig {
 public:
  explicit VariantRig(Variant variant);
  ~VariantRig();
  VariantRig(const VariantRig&) = delete;
  VariantRig& operator=(const VariantRig&) = delete;

  // Attaches a camera where the variant looks first, then further along.
  void Attach(sim::ScsiDevice& device);
  // A link with the variant's request block, as the link layer creates it.
  CameraLink& Link() { return *links_.front(); }
  CameraLink& AddLink();
  int32_t Open(CameraLink& link);
  int32_t Open() { return Open(Link()); }

  Variant Kind() const { return variant_; }

 private:
  std::unique_ptr<CameraLink> NewLink() const;

  Variant variant_;
  int32_t attached_ = 0;
  std::vector<std::unique_ptr<CameraLink>> links_;
};

}  // namespace pelox::test

namespace pelox::sim {
inline void PrintTo(StorageVariant variant, std::ostream* out) {
  *out << test::VariantName(variant);
}
}  // namespace pelox::sim
