#pragma once
// The program-wide table of cameras found by the last discovery, the claims
// that links hold on them, and what the last discovery ran into.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr int32_t DEVICE_TABLE_CAPACITY = 32;
// The system error a discovery that finds no camera leaves.
inline constexpr int32_t DISCOVERY_ERROR_NOT_READY = 21;

struct CameraDevice {
  uint16_t vendor_code = 0;
  // ASPI: where the device sits.
  uint8_t adapter = 0;
  uint8_t target = 0;
  uint8_t lun = 0;
  // Pass-through: the drive's root, "X:\" and a terminating zero.
  std::array<char, 4> root{};
  // SG_IO: the device node.
  std::string path;

  bool operator==(const CameraDevice&) const = default;
};

// How a claim is recorded in the mask: by table entry, or by drive letter so
// that it survives a later discovery that orders the table differently.
enum class ClaimBy { TABLE_INDEX, DRIVE_LETTER };

// Starts a discovery: no entries, nothing denied, no system error.
void DeviceTableClear();
// False, and the table unchanged, when it is full: further cameras are ignored.
bool DeviceTableAdd(const CameraDevice& device);
int32_t DeviceCount();
// Null outside the table.
const CameraDevice* DeviceTableEntry(int32_t index);

uint32_t DevicesInUse();
// Claims, for `owner`, the first entry whose claim bit is clear; its index, or -1.
int32_t DeviceClaimFirstFree(ClaimBy by, const void* owner);
// Gives back what `owner` claimed. The bit is remembered at the claim, since
// another link's discovery may have rebuilt the table meanwhile.
void DeviceReleaseClaims(const void* owner);
bool DeviceHoldsClaim(const void* owner);

// A device that answers INQUIRY as a camera maker's but fails the first
// camera exchange is no camera: entry `index` is passed over by every claim,
// also after later discoveries, until the list is forgotten (a new search).
void DevicePassOver(int32_t index);
bool DevicePassedOver(int32_t index);
void DevicePassOverForget();

// A candidate device that could not be opened for lack of permission.
void DiscoveryNoteDenied(std::string_view path);
int32_t DiscoveryDeniedCount();
const std::string& DiscoveryFirstDenied();
void DiscoverySetSystemError(int32_t error);
int32_t DiscoverySystemError();

// Everything back to the start of the run, claims included; for tests.
PELOX_TEST_HOOK void DeviceTableReset();

}  // namespace pelox
PELOX_API_END
