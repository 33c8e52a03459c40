#pragma once
// The image on its own, without a camera: the dialog's checks of it run
// first, so that a bad image never waits for a camera, and --inspect's
// description of it.
#include <string>
#include <vector>

#include "app/dialog_facts.h"
#include "app/run_cause.h"

namespace pelox {

// What a path names when it is no regular file ("a directory", "a FIFO",
// "a device", "a socket"); empty for a regular file or nothing at all.
std::string ImageKind(const std::string& path);

// The facts of opening and checking the image at `path` (empty: the
// dialog's default); failed_step is 0 when the image holds together.
DialogFacts CheckImageFirst(const std::string& path);

struct ImageInspection {
  RunCause cause = RunCause::IMAGE_SOUND;  // or IMAGE_REFUSED
  std::vector<std::string> lines;          // for standard output
};

// --inspect: size, header fields, version, family, whether LENGTH and SUM
// agree with the payload; as lines, or as one JSON object.
ImageInspection InspectImage(const std::string& path, bool json);

}  // namespace pelox
