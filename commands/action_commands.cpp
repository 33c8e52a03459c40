#include "commands/action_commands.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "commands/command_steps.h"
#include "commands/property_commands.h"
#include "link/error_record.h"

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

// Action 1, whose busy time grows with property 10; a failed read of it
// gives `read_failed` (its code when null).
int32_t RunAction1(std::optional<int32_t> read_failed, CameraLink* link) {
  uint32_t units = 0;
  const int32_t code = LinkGetValueChecked(ACTION_1_UNITS_PROPERTY, false, units, link);
  if (code != LINK_OK) return read_failed.value_or(code);
  // Property 10 ranges up to 0xFFFFFFFF: the busy time stops at the longest
  // the clock can count.
  const uint64_t busy_ms = ACTION_1_BASE_BUSY_MS + uint64_t{ACTION_1_BUSY_PER_UNIT_MS} * units;
  return LinkExecute(ACTION_1, 0, static_cast<uint32_t>(std::min<uint64_t>(busy_ms, UINT32_MAX)),
                     link);
}

// Action 8, after setting property 40 for the values that need it; a failed
// set gives `set_failed` (its code when null).
int32_t RunAction8(int32_t value, uint32_t property_40_value, std::optional<int32_t> set_failed,
                   CameraLink* link) {
  const auto run = [&] {
    return LinkExecute(ACTION_8, static_cast<uint8_t>(value), ACTION_BUSY_MS, link);
  };
  if (!Action8SetsProperty40(value)) return run();
  return RepeatOnRestart([&] {
    if (!Select(PROPERTY_40, property_40_value, link)) {
      return set_failed.value_or(LinkLastError(link));
    }
    return run();
  });
}

}  // namespace

int32_t ObjectAction::operator()(uint32_t object, CameraLink* link) const {
  return SelectAndExecute(PROPERTY_OBJECT_NUMBER, object, code, 0, ACTION_BUSY_MS, link);
}

LinkError CameraAction1Checked(CameraLink* link) {
  return static_cast<LinkError>(RunAction1(std::nullopt, link));
}

int32_t CameraAction1(CameraLink* link) { return RunAction1(-1, link); }

int32_t CameraAction3(int32_t value, CameraLink* link) {
  if (value != 0 && value != 1) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  return LinkExecute(ACTION_3, static_cast<uint8_t>(value), ACTION_BUSY_MS, link);
}

LinkError CameraAction8Checked(int32_t value, uint32_t property_40_value, CameraLink* link) {
  return static_cast<LinkError>(RunAction8(value, property_40_value, std::nullopt, link));
}

int32_t CameraAction8(int32_t value, uint32_t property_40_value, CameraLink* link) {
  return RunAction8(value, property_40_value, int32_t{ACTION_8_SET_FAILED}, link);
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
