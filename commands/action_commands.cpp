#include "commands/action_commands.h"

#include "commands/command_steps.h"
#include "commands/property_commands.h"

namespace pelox {
namespace {

constexpr uint8_t ACTION_1 = 1;
constexpr uint8_t ACTION_3 = 3;
constexpr uint8_t ACTION_8 = 8;
constexpr uint8_t ACTION_9 = 9;
constexpr uint8_t ACTION_13 = 13;
constexpr uint8_t ACTION_16 = 16;

int32_t SelectAndExecute(uint8_t selection_id, uint32_t selection, uint8_t code, uint8_t argument,
                         uint32_t busy_ms, CameraLink* link) {
  return RepeatOnRestart([&] {
    if (!Select(selection_id, selection, link)) return SELECTION_FAILED;
    return LinkExecute(code, argument, busy_ms, link);
  });
}

bool Action8SetsProperty40(int32_t value) { return value == 3 || value == 5 || value == 6; }

}  // namespace

int32_t ObjectAction::operator()(uint32_t object, CameraLink* link) const {
  return SelectAndExecute(PROPERTY_OBJECT_NUMBER, object, code, 0, ACTION_BUSY_MS, link);
}

int32_t CameraAction1(CameraLink* link) {
  const int32_t units = LinkGetValue(ACTION_1_UNITS_PROPERTY, false, link);
  if (LinkLastError(link) != LINK_OK) return -1;
  const uint32_t busy_ms =
      ACTION_1_BASE_BUSY_MS + ACTION_1_BUSY_PER_UNIT_MS * static_cast<uint32_t>(units);
  return LinkExecute(ACTION_1, 0, busy_ms, link);
}

int32_t CameraAction3(int32_t value, CameraLink* link) {
  if (value != 0 && value != 1) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  return LinkExecute(ACTION_3, static_cast<uint8_t>(value), ACTION_BUSY_MS, link);
}

int32_t CameraAction8(int32_t value, uint32_t property_40_value, CameraLink* link) {
  const auto run = [&] {
    return LinkExecute(ACTION_8, static_cast<uint8_t>(value), ACTION_BUSY_MS, link);
  };
  if (!Action8SetsProperty40(value)) return run();
  return RepeatOnRestart([&] {
    if (!Select(PROPERTY_40, property_40_value, link)) return ACTION_8_SET_FAILED;
    return run();
  });
}

int32_t CameraAction9(int32_t value, uint32_t object, CameraLink* link) {
  return SelectAndExecute(PROPERTY_OBJECT_NUMBER, object, ACTION_9, static_cast<uint8_t>(value),
                          ACTION_BUSY_MS, link);
}

int32_t CameraAction13(uint32_t entry, CameraLink* link) {
  return SelectAndExecute(PROPERTY_ENTRY, entry, ACTION_13, 0, ACTION_13_BUSY_MS, link);
}

int32_t CameraAction16(int32_t /*ignored*/, CameraLink* link) {
  return RepeatOnRestart([&] { return LinkExecute(ACTION_16, 0, ACTION_BUSY_MS, link); });
}

}  // namespace pelox
