#pragma once
/// @file
/// Calendar seconds as the host's local broken-down time, safe to call from
/// any thread.
#include <cstdint>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

struct LocalTime {
  int32_t second;
  int32_t minute;
  int32_t hour;
  int32_t day_of_month;
  int32_t month;  ///< 0 to 11
  int32_t years_since_1900;
  int32_t day_of_week;      ///< 0 is Sunday
  int32_t day_of_year;      ///< 0 to 365
  int32_t daylight_saving;  ///< positive in effect, 0 not, negative unknown
};

/// False when the seconds cannot be converted. long long rather than int64_t,
/// which is long on 64-bit systems: the exported name is then one on every
/// architecture.
bool LocalTimeFromCalendar(long long seconds, LocalTime& local);

}  // namespace pelox
PELOX_API_END
