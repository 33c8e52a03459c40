#include "commands/property_commands.h"
#include "link/error_record.h"

namespace pelox {

int32_t CameraGetClock(LocalTime& time, CameraLink* link) {
  const int32_t seconds = LinkGetValue(PROPERTY_CLOCK, false, link);
  if (LinkLastError(link) != LINK_OK) return LinkLastError(link);
  LocalTime local{};
  if (!LocalTimeFromCalendar(seconds, local)) return LinkSetError(LINK_ERROR_UNEXPECTED, link);
  time = local;
  return LinkSetError(LINK_OK, link);
}

}  // namespace pelox
