#pragma once
// Why a run of the uploader ended, one value per cause. The step machine
// ends its chain with one of the first group; the front ends add their own
// (a signal, a dry run, a listing, a usage error). The text is the one word
// scripts read.
#include <cstdint>
#include <string_view>

namespace pelox {

enum class RunCause : uint8_t {
  NONE,  // the chain has not ended
  // The step machine's.
  WRITTEN,          // the camera said it is ready with the image's version
  NO_CAMERA,        // no camera answered, or it stopped answering while connecting
  IMAGE_REFUSED,    // the image did not open or is no sound firmware image
  OTHER_MAKER,      // the camera is not a Pelox camera
  CAMERA_PROBLEM,   // the camera did not tell its maker or version
  OTHER_FAMILY,     // the image is for another camera family
  UP_TO_DATE,       // the image is not newer and nobody allowed it
  BATTERY_LOW,      // the camera's battery is below what the update needs
  WRITE_FAILED,     // the transfer failed before the write command: nothing written
  WRITE_UNCERTAIN,  // the write command may have reached the camera, unconfirmed
  WRITE_REFUSED,    // the camera refused every copy of the write command: nothing written
  INTERRUPTED,      // the transfer was cancelled before the write command
  CLOSED,           // closed by the user before any update
  // The front ends' own.
  WOULD_UPDATE,  // a dry run that found the camera ready for the image
  LISTED,        // the cameras were listed
  IMAGE_SOUND,   // the image inspected holds together
  USAGE,         // the command line could not be acted on
};

// "written", "no-camera", ...; "none" for NONE.
std::string_view RunCauseText(RunCause cause);

}  // namespace pelox
