#pragma once
// After a reconnection another camera may answer on the same path, or the
// same camera without what it was sent: what names a camera, read afresh and
// compared with what was checked.
#include <cstdint>
#include <string>

#include "link/camera_link.h"

namespace pelox {

struct CameraIdentity {
  std::string maker;
  std::string version;
};

// Reads the maker text, then the firmware version. Returns LINK_OK, or the
// code of the read that failed.
int32_t ReadCameraIdentity(CameraIdentity& identity, CameraLink* link);

// The battery level 0 to 100, asked once more when the query fails, so
// that one lost reply does not pass for an unknown level; -1 when both failed.
int32_t AskBatteryLevel(CameraLink* link);

// What differs from `expected`, for people ("maker \"X\" instead of \"Y\"",
// "version X instead of Y", joined by ", "); empty for the same texts.
std::string IdentityChange(const CameraIdentity& expected, const CameraIdentity& found);
// IdentityChange, and the check camera's battery check run again on
// `battery_result` ("battery 10% below 50%").
std::string CheckedCameraChange(const CameraIdentity& checked, const CameraIdentity& found,
                                int32_t battery_result, uint32_t battery_threshold);

}  // namespace pelox
