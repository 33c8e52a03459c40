#include "link/object_mode.h"

#include "link/link_record.h"

namespace pelox {

void LinkSetCurrentObjectMode(bool on, CameraLink* link) {
  if (link != nullptr) link->current_object_mode = on ? 1 : 0;
}

bool LinkInCurrentObjectMode(const CameraLink* link) {
  return link != nullptr && link->current_object_mode != 0;
}

}  // namespace pelox
