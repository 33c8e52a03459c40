#pragma once
// The command set's current-object mode, kept with the link it was set on:
// the commands change it through these rather than through the record.
#include "link/camera_link.h"

namespace pelox {

void LinkSetCurrentObjectMode(bool on, CameraLink* link);
bool LinkInCurrentObjectMode(const CameraLink* link);

}  // namespace pelox
