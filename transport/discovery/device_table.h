#pragma once
/// @file
/// The program-wide table of cameras found by the last discovery, and what
/// that discovery ran into; the links' claims on them stay inside the library.
#include <array>
#include <cstdint>
#include <string>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr int32_t DEVICE_TABLE_CAPACITY = 32;
/// The system error a discovery that finds no camera leaves.
inline constexpr int32_t DISCOVERY_ERROR_NOT_READY = 21;

struct CameraDevice {
  uint16_t vendor_code = 0;
  /// ASPI: where the device sits.
  uint8_t adapter = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
  /// Pass-through: the drive's root, "X:\" and a terminating zero.
  std::array<char, 4> root{};
  /// SG_IO: the device node.
  std::string path;

  /// Entries compare by every field.
  bool operator==(const CameraDevice&) const = default;
};

/// Any thread may call these. The table is the last discovery's, which
/// another link's storage open may run meanwhile: read it while no other
/// thread opens the storage pipe.
int32_t DeviceCount();
/// Null outside the table; the entry is valid until the next discovery.
const CameraDevice* DeviceTableEntry(int32_t index);

/// Candidate devices the last discovery could not open for lack of permission.
int32_t DiscoveryDeniedCount();
/// The path of the first of them; empty when none.
std::string DiscoveryFirstDenied();
/// The Windows system error code the last discovery left, whatever the
/// system (not an errno: read it through DiscoverySystemErrorText): 0, or
/// DISCOVERY_ERROR_NOT_READY when it found no camera's drive ready.
int32_t DiscoverySystemError();

/// Everything back to the start of the run, claims included; for tests.
PELOX_TEST_HOOK void DeviceTableReset();

}  // namespace pelox
PELOX_API_END
