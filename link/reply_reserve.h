#pragma once
// The uploader's own margin on the wait deadline: while it waits for a camera
// that is writing its flash, nothing is sent that could not be answered in time.
// Not installed: the library holds nothing back unless asked.
#include "link/camera_link.h"

namespace pelox {

// While `on`, no request is sent without a reply's time-out left before the
// wait deadline (with the stall bound), and no reconnection begins without
// the handshake's first wait on top. Off for a new link.
void LinkReserveReplyTime(bool on, CameraLink* link);

}  // namespace pelox
