#pragma once
// What both local-time backends share: the range check of the calendar
// seconds and the C library's broken-down time as a LocalTime.
#include <ctime>
#include <limits>

#include "platform/local_time.h"

namespace pelox {

inline bool TimeFromSeconds(int64_t seconds, std::time_t& time) {
  if (seconds < std::numeric_limits<std::time_t>::min() ||
      seconds > std::numeric_limits<std::time_t>::max()) {
    return false;
  }
  time = static_cast<std::time_t>(seconds);
  return true;
}

inline LocalTime LocalTimeFromTm(const std::tm& tm) {
  return {tm.tm_sec,  tm.tm_min,  tm.tm_hour, tm.tm_mday, tm.tm_mon,
          tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst};
}

}  // namespace pelox
