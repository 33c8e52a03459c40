#include "app/camera_identity.h"

#include <array>

#include "app/camera_checks.h"
#include "commands/firmware_commands.h"

namespace pelox {
namespace {

int32_t ReadText(int32_t (*read)(std::span<char, CAMERA_TEXT_SIZE>, CameraLink*), std::string& text,
                 CameraLink* link) {
  std::array<char, CAMERA_TEXT_SIZE> buffer{};
  const int32_t code = read(buffer, link);
  text = BufferText(buffer);
  return code;
}

void AddChange(std::string& change, const std::string& what) {
  if (!change.empty()) change += ", ";
  change += what;
}

}  // namespace

int32_t ReadCameraIdentity(CameraIdentity& identity, CameraLink* link) {
  const int32_t maker = ReadText(&CameraGetVendor, identity.maker, link);
  if (maker != LINK_OK) return maker;
  return ReadText(&CameraGetFirmwareVersion, identity.version, link);
}

int32_t AskBatteryLevel(CameraLink* link) {
  const int32_t level = CameraGetBatteryLevel(link);
  return level >= 0 ? level : CameraGetBatteryLevel(link);
}

std::string IdentityChange(const CameraIdentity& expected, const CameraIdentity& found) {
  std::string change;
  if (found.maker != expected.maker) {
    AddChange(change, "maker \"" + found.maker + "\" instead of \"" + expected.maker + "\"");
  }
  if (found.version != expected.version) {
    AddChange(change, "version " + found.version + " instead of " + expected.version);
  }
  return change;
}

std::string CheckedCameraChange(const CameraIdentity& checked, const CameraIdentity& found,
                                int32_t battery_result, uint32_t battery_threshold) {
  std::string change = IdentityChange(checked, found);
  if (BatteryTooLow(battery_result, battery_threshold)) {
    AddChange(change, "battery " + std::to_string(battery_result) + "% below " +
                          std::to_string(battery_threshold) + "%");
  }
  return change;
}

}  // namespace pelox
