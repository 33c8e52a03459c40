#pragma once
// The program-wide list of links, for inspection by tests. LinkDestroyAll
// empties it.
#include <cstdint>

#include "link/camera_link.h"

namespace pelox {

CameraLink* LinkListHead();
uint32_t LinkLiveCount();
// Whether LinkCreate made the link and it was not freed since.
bool LinkListed(const CameraLink* link);

}  // namespace pelox
