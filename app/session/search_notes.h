#pragma once
// What the camera search ran into on the devices the options named, for the
// verdict's detail and advice; shared by the terminal and desktop front ends.
#include "app/session/options.h"
#include "app/session/run_verdict.h"

namespace pelox {

SearchNotes SearchNotesOf(const UploaderOptions& options);

}  // namespace pelox
