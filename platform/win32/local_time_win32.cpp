#include <ctime>

#include "platform/local_time.h"
#include "platform/local_time_tm.h"

namespace pelox {

bool LocalTimeFromCalendar(long long seconds, LocalTime& local) {
  std::time_t time{};
  std::tm tm{};
  if (!TimeFromSeconds(seconds, time) || localtime_s(&tm, &time) != 0) return false;
  local = LocalTimeFromTm(tm);
  return true;
}

}  // namespace pelox
