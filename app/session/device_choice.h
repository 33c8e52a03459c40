#pragma once
// Which devices the camera search may open: only the serial ports the user
// named, in their order, and the storage pipe's named device or else a
// search. Nothing else is ever probed.
#include "app/session/options.h"

namespace pelox {

void ChooseDevices(const UploaderOptions& options);

}  // namespace pelox
