#include "app/session/run_verdict.h"

#include <cerrno>
#include <cstring>

#include "app/camera_checks.h"
#include "app/dialog_ids.h"
#include "app/session/options.h"
#include "link/camera_link.h"
#include "link/error_text.h"
#include "transport/storage/sense_text.h"

namespace pelox {
namespace {

// The group that owns serial devices on Debian and its derivatives.
constexpr const char* SERIAL_GROUP = "dialout";
constexpr const char* NOTHING_WRITTEN = "; nothing was written, the camera keeps its old firmware";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A remedy that is safe: never membership of a group that grants more than
// the serial line. The command is given as it is to be typed.
std::string PermissionAdvice(const NamedPort& port) {
  if (port.group == SERIAL_GROUP) {
    return ": add your user to the group \"" + std::string(SERIAL_GROUP) +
           "\" that owns it (sudo usermod -aG " + SERIAL_GROUP + " $USER) and log in again";
  }
  return ": run it as the user who owns " + port.path + " or as root";
}

std::string HeldNote(const NamedPort& port) {
  return port.path + " is held by another program" +
         (port.holder.empty() ? "" : ", " + port.holder) + ": close it and try again";
}

std::string PortNote(const NamedPort& port) {
  switch (port.open_error) {
    case 0:
      if (port.heard_bytes > 0) {
        return "something answered on " + port.path + " (" + std::to_string(port.heard_bytes) +
               " bytes), but not as a camera";
      }
      return "nothing answered on " + port.path + " within its time-out";
    case EACCES:
    case EPERM: return "permission denied on " + port.path + PermissionAdvice(port);
    case EBUSY:
    case EWOULDBLOCK: return HeldNote(port);
    case ENOENT:
    case ENODEV:
    case ENXIO: return port.path + " does not exist";
    case ENOTTY: return port.path + " is not a serial device";
    default: return port.path + ": " + std::strerror(port.open_error);
  }
}

// The link's error and what the storage device said of its refusal, in
// brackets; nothing when there is neither.
std::string Why(const DialogFacts& facts) {
  std::string why = facts.link_error != 0 ? std::string(LinkErrorText(facts.link_error)) : "";
  if (!facts.sense.empty()) why += (why.empty() ? "" : "; ") + SenseText(facts.sense);
  return why.empty() ? why : " (" + why + ")";
}

std::string NoCameraDetail(const DialogFacts& facts, const SearchNotes& search) {
  if (facts.port_type > 0) {
    return "the camera stopped answering while connecting" + Why(facts) +
           "; a connection is given up " + std::to_string(LINK_CONNECT_LIMIT_MS / 1000) +
           " s after the camera first answered";
  }
  std::string detail = search.device.empty() ? "no camera answered on the USB storage pipe"
                                             : "no camera answered on " + search.device;
  for (const NamedPort& port : search.ports) detail += "; " + PortNote(port);
  if (search.ports.empty()) detail += " and no serial port was named";
  return detail;
}

std::string HeaderDetail(const DialogFacts& facts, const std::string& image) {
  const std::string declared = std::to_string(facts.header_declared);
  const std::string actual = std::to_string(facts.header_actual);
  switch (facts.header_fault) {
    case HeaderFault::SHORT: return image + " is shorter than its 96-byte header";
    case HeaderFault::NO_LENGTH: return image + " has no readable LENGTH= in its header";
    case HeaderFault::LENGTH_MISMATCH:
      return image + ": the header says LENGTH=" + declared + " but the payload is " + actual +
             " bytes";
    case HeaderFault::EMPTY_PAYLOAD: return image + " has LENGTH=0: there is no firmware to write";
    case HeaderFault::NO_VERSION: return image + " has no readable VER= in its header";
    case HeaderFault::NO_SUM: return image + " has no readable SUM= in its header";
    case HeaderFault::TOO_LARGE:
      return image + " is " + actual + " bytes, more than the " + declared + " an image may hold";
    case HeaderFault::SUM_MISMATCH:
      return image + ": the header says SUM=" + declared + " but the payload sums to " + actual;
    case HeaderFault::NONE: break;
  }
  return image + " is not a firmware image";
}

std::string OpenFailure(const DialogFacts& facts, const RunEnd& end) {
  const std::string opening = "cannot open " + end.image;
  if (!end.image_kind.empty())
    return opening + ": it is " + end.image_kind + ", not a regular file";
  if (facts.image_open_error == 0) return opening;
  return opening + ": " + std::strerror(static_cast<int>(facts.image_open_error));
}

Verdict ImageVerdict(const DialogFacts& facts, const RunEnd& end) {
  std::string detail;
  switch (facts.step_error) {
    case STEP_ERROR_ACCESS_DENIED: detail = "the current directory cannot be read"; break;
    case STEP_ERROR_FILE_NOT_FOUND: detail = OpenFailure(facts, end); break;
    case STEP_ERROR_CANTOPEN: detail = end.image + " is empty or cannot be read"; break;
    default: detail = HeaderDetail(facts, end.image); break;
  }
  return {RunCause::IMAGE_REFUSED, detail};
}

// The camera's firmware is newer than the image.
bool ImageIsOlder(const DialogFacts& facts) {
  const std::string& camera = facts.camera_version;
  const std::string& image = facts.image_version;
  return ImageIsNewer(std::span(camera.data(), camera.size()),
                      std::span(image.data(), image.size()));
}

std::string UpToDateDetail(const DialogFacts& facts) {
  const std::string& camera = facts.camera_version;
  const std::string& image = facts.image_version;
  return "the camera already has " + camera + ", and the image is " + image +
         (ImageIsOlder(facts) ? ", which is older" : camera == image ? "" : ", which is not newer");
}

std::string CameraDetail(RunCause cause, const DialogFacts& facts) {
  switch (cause) {
    case RunCause::BATTERY_LOW:
      return "the battery level is " + std::to_string(facts.battery) + ", below the " +
             std::to_string(facts.battery_threshold) +
             " this update needs: charge the camera or put in fresh batteries";
    case RunCause::OTHER_FAMILY:
      return "the image " + facts.image_version +
             " is for another camera family than this camera's " + facts.camera_version;
    case RunCause::UP_TO_DATE: return UpToDateDetail(facts);
    case RunCause::CAMERA_PROBLEM:
      return "the camera did not tell its maker and version" + Why(facts) +
             (facts.write_detail.empty() ? "" : ": " + facts.write_detail);
    default:
      return "the camera's maker is " + Quoted(facts.maker) + ", not " +
             Quoted(std::string(PELOX_MAKER_TEXT));
  }
}

std::string WriteDetail(RunCause cause, const DialogFacts& facts, const RunEnd& end) {
  std::string why = Why(facts);
  if (!facts.write_detail.empty()) why += ": " + facts.write_detail;
  if (cause == RunCause::WRITE_UNCERTAIN) {
    return "the write command may have reached the camera and it did not confirm the write" + why +
           "; its firmware is uncertain: leave it on";
  }
  if (cause == RunCause::WRITE_REFUSED) {
    return "the camera refused the write command (NAK to every copy)" +
           std::string(NOTHING_WRITTEN) + ": safe to retry";
  }
  const std::string reached = "after " + std::to_string(end.bytes_sent) + " of " +
                              std::to_string(facts.image_size) + " bytes";
  if (cause == RunCause::INTERRUPTED) {
    return "the transfer was cancelled " + reached + NOTHING_WRITTEN;
  }
  return "the transfer failed " + reached + why + NOTHING_WRITTEN + ": safe to retry";
}

}  // namespace

int CauseExitStatus(RunCause cause) {
  switch (cause) {
    case RunCause::NONE:
    case RunCause::WRITTEN:
    case RunCause::WOULD_UPDATE:
    case RunCause::LISTED:
    case RunCause::IMAGE_SOUND: return EXIT_WRITTEN;
    case RunCause::WRITE_FAILED:
    case RunCause::WRITE_REFUSED: return EXIT_WRITE_FAILED;
    case RunCause::USAGE: return EXIT_USAGE;
    case RunCause::NO_CAMERA: return EXIT_NO_CAMERA;
    case RunCause::IMAGE_REFUSED: return EXIT_IMAGE_REFUSED;
    case RunCause::OTHER_MAKER:
    case RunCause::CAMERA_PROBLEM:
    case RunCause::OTHER_FAMILY:
    case RunCause::BATTERY_LOW: return EXIT_CAMERA_REFUSED;
    case RunCause::UP_TO_DATE: return EXIT_UP_TO_DATE;
    case RunCause::WRITE_UNCERTAIN: return EXIT_WRITE_UNCERTAIN;
    case RunCause::CLOSED: return EXIT_CLOSED;
    case RunCause::INTERRUPTED: return EXIT_INTERRUPTED;
  }
  return EXIT_CLOSED;
}

namespace {

std::vector<Remedy> AdviceFor(const Verdict& verdict, const DialogFacts& facts,
                              const SearchNotes& search) {
  switch (verdict.cause) {
    case RunCause::UP_TO_DATE:
      return {ImageIsOlder(facts) ? Remedy::INSTALL_OLDER : Remedy::INSTALL_ANYWAY};
    case RunCause::WRITE_UNCERTAIN: return {Remedy::CHECK_VERSION};
    case RunCause::IMAGE_REFUSED:
    case RunCause::OTHER_FAMILY: return {Remedy::CHOOSE_IMAGE};
    case RunCause::CAMERA_PROBLEM:
    case RunCause::WRITE_FAILED:
    case RunCause::WRITE_REFUSED: return {Remedy::CHECK_AGAIN};
    case RunCause::NO_CAMERA:
      if (facts.port_type <= 0 && search.ports.empty()) {
        return {Remedy::NAME_PORT, Remedy::CHECK_AGAIN};
      }
      return {Remedy::CHECK_AGAIN};
    default: return {};
  }
}

Verdict Judged(const DialogFacts& facts, const RunEnd& end, const SearchNotes& search) {
  switch (end.cause) {
    case RunCause::WRITTEN: return {RunCause::WRITTEN};
    case RunCause::WRITE_UNCERTAIN:
    case RunCause::WRITE_REFUSED:
    case RunCause::INTERRUPTED:
    case RunCause::WRITE_FAILED: {
      // A signal turns a failed transfer into a cancelled one; never an uncertain write.
      const RunCause cause = end.cause == RunCause::WRITE_FAILED && end.interrupted
                                 ? RunCause::INTERRUPTED
                                 : end.cause;
      return {cause, WriteDetail(cause, facts, end)};
    }
    default: break;
  }
  if (end.interrupted) return {RunCause::INTERRUPTED, "interrupted before the update began"};
  switch (end.cause) {
    case RunCause::NO_CAMERA: return {RunCause::NO_CAMERA, NoCameraDetail(facts, search)};
    case RunCause::IMAGE_REFUSED: return ImageVerdict(facts, end);
    case RunCause::OTHER_MAKER:
    case RunCause::CAMERA_PROBLEM:
    case RunCause::OTHER_FAMILY:
    case RunCause::UP_TO_DATE:
    case RunCause::BATTERY_LOW: return {end.cause, CameraDetail(end.cause, facts)};
    default: break;
  }
  if (end.ready && end.check_only) {
    return {RunCause::WOULD_UPDATE,
            "would update " + facts.camera_version + " -> " + facts.image_version};
  }
  return {RunCause::CLOSED, "closed before the update; nothing was written"};
}

}  // namespace

Verdict JudgeRun(const DialogFacts& facts, const RunEnd& end, const SearchNotes& search) {
  Verdict verdict = Judged(facts, end, search);
  verdict.advice = AdviceFor(verdict, facts, search);
  return verdict;
}

std::string DetailWithOptions(const Verdict& verdict) {
  std::string detail = verdict.detail;
  for (const Remedy remedy : verdict.advice) {
    switch (remedy) {
      case Remedy::INSTALL_ANYWAY: detail += " (--allow-reinstall writes it again)"; break;
      case Remedy::INSTALL_OLDER: detail += " (--allow-older writes it)"; break;
      case Remedy::NAME_PORT: detail += " (--port PATH)"; break;
      case Remedy::CHECK_VERSION: detail += ", then check its version with --list"; break;
      // Running the command again is all there is to it.
      case Remedy::CHECK_AGAIN:
      case Remedy::CHOOSE_IMAGE: break;
    }
  }
  return detail;
}

std::vector<std::string> ReadyWarnings(const DialogFacts& facts) {
  std::vector<std::string> warnings;
  if (facts.version_allowed_by_user) {
    warnings.push_back("warning: the image " + facts.image_version +
                       " is not newer than the camera's " + facts.camera_version +
                       "; writing it as allowed");
  }
  if (facts.battery <= 0) {
    warnings.push_back(std::string(facts.battery == 0
                                       ? "warning: the camera reports a battery level of 0"
                                       : "warning: the camera did not tell its battery level") +
                       ": make sure the camera is charged or on mains power");
  }
  return warnings;
}

std::string DeniedDevicesAdvice(const SearchNotes& search) {
  if (search.denied_devices == 0) return {};
  return std::to_string(search.denied_devices) + " device(s), the first " + search.first_denied +
         ", could not be opened for lack of permission. Install the udev rule "
         "60-pelox-camera.rules that comes with the uploader (it opens the cameras' SCSI "
         "devices to the user at the seat) and plug the camera in again. A camera on a serial "
         "adapter needs membership of the \"dialout\" group (sudo usermod -aG dialout $USER, "
         "then log in again).";
}

}  // namespace pelox
