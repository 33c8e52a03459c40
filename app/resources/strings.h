#pragma once
// The texts the dialog shows. Both front ends read this one list: the
// terminal front end directly, the Windows build through the string table
// generated from it (so keep each entry on one line).
#include <cstdint>
#include <string_view>

namespace pelox {

inline constexpr int32_t STR_COMMUNICATION_AUTO = 102;
inline constexpr int32_t STR_CAMERA_NOT_CONNECTED = 104;
inline constexpr int32_t STR_CLICK_UPLOAD = 105;
inline constexpr int32_t STR_CHECKING_CAMERA = 106;
inline constexpr int32_t STR_CHECKING_FIRMWARE = 107;
inline constexpr int32_t STR_NO_FIRMWARE = 110;
inline constexpr int32_t STR_FIRMWARE_NOT_CORRECT = 111;
inline constexpr int32_t STR_WRITE_ERROR = 112;
inline constexpr int32_t STR_WRITE_COMPLETE = 113;
inline constexpr int32_t STR_BATTERY_LOW = 114;
inline constexpr int32_t STR_UPLOADING = 115;
inline constexpr int32_t STR_DO_NOT_TURN_OFF = 116;
inline constexpr int32_t STR_WRITING = 117;
inline constexpr int32_t STR_CAMERA_PROBLEM = 118;

struct StringEntry {
  int32_t id;
  std::string_view text;
};

inline constexpr StringEntry STRING_TABLE[] = {
    {STR_COMMUNICATION_AUTO, "Communication (Auto)"},
    {STR_CAMERA_NOT_CONNECTED, "Camera is not connected."},
    {STR_CLICK_UPLOAD, "Click \"Upload\" button to start the update."},
    {STR_CHECKING_CAMERA, "Checking to camera."},
    {STR_CHECKING_FIRMWARE, "Checking Firmware..."},
    {STR_NO_FIRMWARE, "No Firmware found."},
    {STR_FIRMWARE_NOT_CORRECT, "Firmware is not correct."},
    {STR_WRITE_ERROR, "Error in writing Firmware."},
    {STR_WRITE_COMPLETE, "Writing Firmware is complete."},
    {STR_BATTERY_LOW, "Batteries are too low to start the update."},
    {STR_UPLOADING, "Uploading..."},
    {STR_DO_NOT_TURN_OFF, "DO NOT TURN CAMERA OFF!"},
    {STR_WRITING, "Writing Firmware..."},
    {STR_CAMERA_PROBLEM, "There is a problem with your camera, please contact Pelox Service."},
};

// The text of a string id; empty for an id the table does not hold.
constexpr std::string_view StringText(int32_t id) {
  for (const StringEntry& entry : STRING_TABLE) {
    if (entry.id == id) return entry.text;
  }
  return {};
}

}  // namespace pelox
