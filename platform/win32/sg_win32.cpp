// There is no SG_IO on this system: the storage pipe uses ASPI or pass-through.
#include "platform/sg.h"

namespace pelox {

std::vector<std::string> SgCandidateDevices() { return {}; }
void SgUseOnlyDevice(std::string /*path*/) {}
DriveHandle SgOpen(const std::string& /*path*/, int32_t& outcome) {
  outcome = SG_OPEN_FAILED;
  return nullptr;
}
int32_t SgExecute(DriveHandle /*device*/, std::span<const uint8_t> /*cdb*/,
                  std::span<uint8_t> /*data*/, SgDirection /*direction*/, uint32_t /*timeout_ms*/,
                  SgAnswer& /*answer*/) {
  return SG_TRANSFER_FAILED;
}
bool SgClose(DriveHandle /*device*/) { return false; }

}  // namespace pelox
