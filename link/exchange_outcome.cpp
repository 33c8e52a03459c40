#include "link/exchange_outcome.h"

#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"

namespace pelox {

Outcome AskForTheReplyAgain(int32_t& credits, CameraLink* link) {
  if (!TimeForAReply(link)) return {Next::Finish, WaitEndCode(link)};
  --credits;
  const int32_t refused = SendControl(CONTROL_NAK, link);
  return refused != LINK_OK ? Outcome{Next::Finish, refused} : Outcome{Next::Receive};
}

}  // namespace pelox
