#include "commands/usage_commands.h"

#include <array>
#include <span>

#include "commands/block_commands.h"
#include "link/error_record.h"
#include "transport/byte_order.h"

namespace pelox {
namespace {

constexpr size_t ENTRIES_START = 2;
constexpr size_t ENTRY_SIZE = 12;
// The entries looked at all start below this offset.
constexpr size_t ENTRIES_END = 362;
constexpr size_t COUNTER_OFFSET = 5;
constexpr uint8_t TAG_RUNNING_SECONDS = 9;
constexpr uint64_t SECONDS_PER_HOUR = 3600;

}  // namespace

LinkError CameraGetRunningHoursChecked(uint32_t& hours, CameraLink* link) {
  std::array<uint8_t, USAGE_TABLE_SIZE> table{};
  const int32_t code = CameraReadUsageTable(table, link);
  if (code != LINK_OK) return static_cast<LinkError>(code);
  for (size_t offset = ENTRIES_START; offset < ENTRIES_END; offset += ENTRY_SIZE) {
    const std::span<const uint8_t> entry = std::span(table).subspan(offset, ENTRY_SIZE);
    if (entry[0] != TAG_RUNNING_SECONDS) continue;
    // The counter is unsigned: a camera past 2^31 seconds is no failure.
    const uint64_t seconds = LoadLe32(entry.subspan<COUNTER_OFFSET, 4>());
    hours = static_cast<uint32_t>((seconds + SECONDS_PER_HOUR / 2) / SECONDS_PER_HOUR);
    return LINK_OK;
  }
  return static_cast<LinkError>(LinkSetError(LINK_ERROR_UNEXPECTED, link));
}

int32_t CameraGetRunningHours(CameraLink* link) {
  uint32_t hours = 0;
  return CameraGetRunningHoursChecked(hours, link) == LINK_OK ? static_cast<int32_t>(hours) : -1;
}

}  // namespace pelox
