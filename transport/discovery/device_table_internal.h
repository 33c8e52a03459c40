#pragma once
// What discovery and the storage pipe write into the device table: its
// entries, the links' claims, the devices passed over and what discovery ran
// into. Only the library writes them, so they stay out of the installed headers.
#include <cstdint>
#include <string_view>

#include "transport/discovery/device_table.h"

namespace pelox {

// How a claim is recorded in the mask: by table entry, or by drive letter so
// that it survives a later discovery that orders the table differently.
enum class ClaimBy { TABLE_INDEX, DRIVE_LETTER };

// Starts a discovery: no entries, nothing denied, no system error.
void DeviceTableClear();
// False, and the table unchanged, when it is full: further cameras are ignored.
bool DeviceTableAdd(const CameraDevice& device);

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
void DiscoverySetSystemError(int32_t error);

}  // namespace pelox
