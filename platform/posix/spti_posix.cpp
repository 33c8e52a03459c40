// There are no drive letters on this system: the storage pipe uses SG_IO.
#include "platform/spti.h"

namespace pelox {

uint32_t DriveLogicalStrings(std::span<char> buffer) {
  if (!buffer.empty()) buffer[0] = '\0';
  return 0;
}
uint32_t DriveType(const char* /*root*/) { return 0; }
uint32_t DriveSetErrorMode(uint32_t /*mode*/) { return 0; }
DriveHandle DriveOpen(const char* /*device_name*/) { return nullptr; }
bool DriveClose(DriveHandle /*drive*/) { return false; }
int32_t DrivePassThrough(DriveHandle /*drive*/, std::span<uint8_t> /*request*/,
                         std::span<uint8_t> /*data*/) {
  return 0;
}

}  // namespace pelox
