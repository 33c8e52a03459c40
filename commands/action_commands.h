#pragma once
/// @file
/// Action commands: each starts one camera action with an argument byte and a
/// busy time, during which the link waits for the camera to report the end.
/// Results are LinkExecute's codes; arguments the camera takes as a byte use
/// the low byte.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr uint32_t ACTION_BUSY_MS = 60000;
inline constexpr uint32_t ACTION_BUSY_LONG_MS = 120000;
inline constexpr uint32_t ACTION_6_BUSY_MS = 180000;
inline constexpr uint32_t ACTION_13_BUSY_MS = 80000;
/// Action 1 takes this, plus the per-unit time for every unit of property 10.
inline constexpr uint32_t ACTION_1_BASE_BUSY_MS = 10000;
inline constexpr uint32_t ACTION_1_BUSY_PER_UNIT_MS = 800;
inline constexpr uint8_t ACTION_1_UNITS_PROPERTY = 10;

/// An action with the argument byte 0.
struct PlainAction {
  uint8_t code;
  uint32_t busy_ms;
  /// Runs the action: LinkExecute's code.
  int32_t operator()(CameraLink* link) const { return LinkExecute(code, 0, busy_ms, link); }
};

/// An action whose argument byte is the caller's value.
struct ValueAction {
  uint8_t code;
  uint32_t busy_ms;
  /// Runs the action with the low byte of `value`: LinkExecute's code.
  int32_t operator()(int32_t value, CameraLink* link) const {
    return LinkExecute(code, static_cast<uint8_t>(value), busy_ms, link);
  }
};

/// An action on one object, selected first (SELECTION_FAILED when the
/// selection fails).
struct ObjectAction {
  uint8_t code;
  /// Selects `object`, then runs the action: LinkExecute's code, or SELECTION_FAILED.
  int32_t operator()(uint32_t object, CameraLink* link) const;
};

inline constexpr PlainAction CameraAction0{0, ACTION_BUSY_MS};
inline constexpr PlainAction CameraAction2{2, ACTION_BUSY_MS};
inline constexpr PlainAction CameraAction4{4, ACTION_BUSY_MS};
inline constexpr PlainAction CameraAction5{5, ACTION_BUSY_MS};
inline constexpr PlainAction CameraAction18{18, ACTION_BUSY_LONG_MS};
inline constexpr PlainAction CameraAction19{19, ACTION_BUSY_LONG_MS};
inline constexpr ValueAction CameraAction6{6, ACTION_6_BUSY_MS};
inline constexpr ValueAction CameraAction12{12, ACTION_BUSY_MS};
inline constexpr ObjectAction CameraAction7{7};
inline constexpr ObjectAction CameraAction14{14};

/// Busy for 10 s plus 0.8 s per unit of property 10: LinkExecute's code, or
/// the code of the failed read of property 10.
[[nodiscard]] LinkError CameraAction1Checked(CameraLink* link);
/// As CameraAction1Checked, but -1 when the read of property 10 fails.
[[deprecated("-1 hides the failed read's code: use CameraAction1Checked")]] int32_t CameraAction1(
    CameraLink* link);
/// Only 0 and 1 are sent; any other value gives LINK_ERROR_INVALID_ARGUMENT.
int32_t CameraAction3(int32_t value, CameraLink* link);
/// What CameraAction8 returns when its property-40 set fails.
inline constexpr int32_t ACTION_8_SET_FAILED = 4;
/// For the values 3, 5 and 6 property 40 is set first: LinkExecute's code,
/// or the code of that set when it fails.
[[nodiscard]] LinkError CameraAction8Checked(int32_t value, uint32_t property_40_value,
                                             CameraLink* link);
/// As CameraAction8Checked, but ACTION_8_SET_FAILED when the set fails.
[[deprecated("ACTION_8_SET_FAILED hides the set's code: use CameraAction8Checked")]] int32_t
CameraAction8(int32_t value, uint32_t property_40_value, CameraLink* link);
/// Selects the object, then runs the action with the value (SELECTION_FAILED
/// when the selection fails).
int32_t CameraAction9(int32_t value, uint32_t object, CameraLink* link);
/// Selects the entry with property 56, then runs the action (SELECTION_FAILED
/// when the selection fails).
int32_t CameraAction13(uint32_t entry, CameraLink* link);
/// The argument is not used; the action is repeated while the link restarts.
int32_t CameraAction16(int32_t ignored, CameraLink* link);

}  // namespace pelox
PELOX_API_END
