#include "commands/usage_commands.h"

#include <array>
#include <span>

#include "commands/block_commands.h"
#include "transport/byte_order.h"

namespace pelox {
namespace {

constexpr size_t ENTRIES_START = 2;
constexpr size_t ENTRY_SIZE = 12;
// The entries looked at all start below this offset.
constexpr size_t ENTRIES_END = 362;
constexpr size_t COUNTER_OFFSET = 5;
constexpr uint8_t TAG_RUNNING_SECONDS = 9;
constexpr int64_t SECONDS_PER_HOUR = 3600;

}  // namespace

int32_t CameraGetRunningHours(CameraLink* link) {
  std::array<uint8_t, USAGE_TABLE_SIZE> table{};
  if (CameraReadUsageTable(table, link) != LINK_OK) return -1;
  for (size_t offset = ENTRIES_START; offset < ENTRIES_END; offset += ENTRY_SIZE) {
    const std::span<const uint8_t> entry = std::span(table).subspan(offset, ENTRY_SIZE);
    if (entry[0] != TAG_RUNNING_SECONDS) continue;
    const auto seconds = static_cast<int32_t>(LoadLe32(entry.subspan<COUNTER_OFFSET, 4>()));
    return static_cast<int32_t>((seconds + SECONDS_PER_HOUR / 2) / SECONDS_PER_HOUR);
  }
  return -1;
}

}  // namespace pelox
