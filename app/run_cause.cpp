#include "app/run_cause.h"

namespace pelox {

std::string_view RunCauseText(RunCause cause) {
  switch (cause) {
    case RunCause::NONE: return "none";
    case RunCause::WRITTEN: return "written";
    case RunCause::NO_CAMERA: return "no-camera";
    case RunCause::IMAGE_REFUSED: return "image-refused";
    case RunCause::OTHER_MAKER: return "other-maker";
    case RunCause::CAMERA_PROBLEM: return "camera-problem";
    case RunCause::OTHER_FAMILY: return "other-family";
    case RunCause::UP_TO_DATE: return "up-to-date";
    case RunCause::BATTERY_LOW: return "battery-low";
    case RunCause::WRITE_FAILED: return "write-failed";
    case RunCause::WRITE_UNCERTAIN: return "write-uncertain";
    case RunCause::WRITE_REFUSED: return "write-refused";
    case RunCause::INTERRUPTED: return "interrupted";
    case RunCause::CLOSED: return "closed";
    case RunCause::WOULD_UPDATE: return "would-update";
    case RunCause::LISTED: return "listed";
    case RunCause::IMAGE_SOUND: return "image-sound";
    case RunCause::USAGE: return "usage";
  }
  return "none";
}

}  // namespace pelox
