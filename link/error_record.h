#pragma once
// Recording a code on the link, which also moves its state: only the library
// does, so that no caller can overwrite what the camera said.
#include <cstdint>

#include "link/camera_link.h"

namespace pelox {

// Records `code` (and the link state it implies); returns `code`.
int32_t LinkSetError(int32_t code, CameraLink* link);
void LinkNoteError(int32_t code, CameraLink* link);

}  // namespace pelox
