#include "link/error_text.h"

#include "link/camera_link.h"
#include "link/packet.h"

namespace pelox {

std::string_view LinkErrorText(int32_t code) {
  switch (code) {
    case LINK_OK: return "success";
    case LINK_RESTART: return "link re-established during the transfer";
    case LINK_ERROR_COMMAND: return "command refused its arguments";
    case LINK_ERROR_INVALID_ARGUMENT: return "invalid argument";
    case LINK_ERROR_NO_PORT: return "no camera found";
    case LINK_ERROR_FILE_WRITE: return "writing to the file failed";
    case LINK_ERROR_PORT_OPEN_CLOSE: return "opening or closing the port failed";
    case LINK_ERROR_SEND: return "packet not sent or not acknowledged";
    case LINK_ERROR_NO_REPLY: return "no valid reply packet";
    case LINK_ERROR_SERIAL_CONNECT: return "serial connection failed";
    case LINK_ERROR_NO_ANSWER: return "camera did not answer";
    case LINK_ERROR_UNEXPECTED: return "unexpected answer";
    case LINK_ERROR_NAK: return "camera refused the packet";
    case LINK_ERROR_CAMERA_ERROR: return "camera reported an error";
    case LINK_ERROR_MALFORMED: return "malformed answer";
    case LINK_ERROR_EMPTY_OBJECT: return "object is empty";
    case LINK_ERROR_CANCELLED: return "cancelled";
    case LINK_ERROR_CAMERA_GONE: return "camera gone";
    case LINK_ERROR_TRANSPORT: return "transport failure";
    case LINK_ERROR_NO_LINK: return "no link";
    case LINK_ERROR_STOPPED: return "stopped";
    case LINK_ERROR_STORAGE_NOT_INITIALISED:
      return "storage pipe searched before StorageTransportInit";
    case LINK_ERROR_INTERNAL: return "internal error";
    default: return "unknown link error";
  }
}

std::string_view LinkStateText(int32_t state) {
  switch (state) {
    case LINK_STATE_CLOSED: return "closed";
    case LINK_STATE_READY: return "ready";
    case LINK_STATE_CAMERA_GONE: return "camera gone";
    case LINK_STATE_BROKEN: return "broken";
    case LINK_STATE_BUSY: return "busy with an action";
    case LINK_STATE_IN_TRANSACTION: return "in a transaction";
    default: return "unknown link state";
  }
}

std::string_view PacketVerdictText(int32_t verdict) {
  switch (verdict) {
    case PACKET_OK: return "packet accepted";
    case PACKET_OUT_OF_SEQUENCE: return "packet out of sequence";
    case PACKET_MALFORMED: return "malformed packet";
    default: return "unknown packet verdict";
  }
}

}  // namespace pelox
