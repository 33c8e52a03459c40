// Finding a port, connecting and disconnecting, and reconnecting a link.
#include <optional>

#include "link/camera_link.h"
#include "link/error_record.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"
#include "link/serial_handshake.h"
#include "link/speed_table.h"
#include "platform/clock.h"
#include "transport/discovery/device_table_internal.h"
#include "transport/port/port.h"
#include "transport/port/port_settings.h"
#include "transport/storage/storage_ops.h"

namespace pelox {
namespace {

constexpr int32_t PORT_COM1 = 1;
constexpr int32_t PORT_COM2 = 2;
constexpr uint16_t VENDOR_DEFAULT = 1140;
constexpr int32_t STORAGE_SPEED_INDEX = 2;
constexpr uint32_t SETTLE_MS = 50;
// How long a disconnect waits for the camera to take the speed request.
constexpr uint32_t DISCONNECT_LIMIT_MS = 3000;
constexpr uint32_t DISCONNECT_BROKEN_LIMIT_MS = 500;
// Bounds the link's waits to `limit_ms` from now while it lives, beside
// the caller's deadline and stall bound, which it leaves as they are; an
// enclosing bound that ends earlier stands, and is given back after.
class WaitBound {
 public:
  WaitBound(uint32_t limit_ms, CameraLink* link) : link_(link), enclosing_(link->own_deadline) {
    const uint32_t bound = ClockTickCount() + limit_ms;
    if (!enclosing_ || static_cast<int32_t>(bound - *enclosing_) < 0) link_->own_deadline = bound;
  }
  ~WaitBound() { link_->own_deadline = enclosing_; }
  WaitBound(const WaitBound&) = delete;
  WaitBound& operator=(const WaitBound&) = delete;

 private:
  CameraLink* link_;
  std::optional<uint32_t> enclosing_;
};

// Something that answers the handshake or INQUIRY is the camera only once
// it answers a real request: a stranger may NAK every byte or refuse the
// makers' commands.
bool CameraAnswers(CameraLink* link) {
  uint32_t ready = 0;
  return ExchangeGet(PROPERTY_READY, ready, link) == LINK_OK;
}

bool OpenComWithRetries(int32_t port, CameraLink* link) {
  for (int32_t attempt = 0; attempt < COM_OPEN_TRIES; ++attempt) {
    if (PortOpenCom(port, SERIAL_OPEN_BAUD, SERIAL_BYTE_SIZE, SERIAL_QUEUE_SIZE, SERIAL_QUEUE_SIZE,
                    link) > 0) {
      return true;
    }
  }
  return false;
}

// A serial port answers when it opens (explicit port) or also completes the
// handshake and a get (automatic search). The port is closed again either way.
bool SerialPortAnswers(int32_t port, bool with_handshake, CameraLink* link) {
  if (!OpenComWithRetries(port, link)) return false;
  bool found = true;
  if (with_handshake) {
    link->port_type = port;
    PortSetFlowControl(link->port_type, FLOW_NONE, link->com_handle);
    DrainInput(link);
    found = SerialHandshake(link) && CameraAnswers(link);
    // A camera found at another speed goes back to the opening one, where
    // the connection that follows looks for it first.
    if (found && PortCommSettings().BaudRate != SERIAL_OPEN_BAUD &&
        ExchangeSet(0, PROPERTY_SPEED, COMMAND_SPEED, link) == LINK_OK) {
      PortSleep(link->port_type, SETTLE_MS);
    }
  }
  PortClose(link);
  return found;
}

// Closes the port of a link that is not closed; false when closing failed.
bool CloseIfOpen(CameraLink* link) {
  if (link->state == LINK_STATE_CLOSED) return true;
  link->state = LINK_STATE_CLOSED;
  return PortClose(link) == PORT_OK;
}

// Claims the storage pipe's cameras in turn until one answers; one that does
// not is passed over until the next search. Returns the port type, or
// PORT_FAILED when none answered.
int32_t FindStorageCamera(CameraLink* link) {
  DevicePassOverForget();
  // Each turn passes over one more device of a bounded table.
  for (int32_t turn = 0; turn <= DEVICE_TABLE_CAPACITY; ++turn) {
    const int32_t type = PortOpenStorage(PORT_TYPE_STORAGE, link);
    if (type <= 0) return PORT_FAILED;
    const bool answered = CameraAnswers(link);
    if (!answered) DevicePassOver(link->device_index);
    PortClose(link);
    if (answered) return type;
  }
  return PORT_FAILED;
}

int32_t ClosePort(CameraLink* link) {
  if (PortClose(link) != PORT_OK) return LINK_ERROR_PORT_OPEN_CLOSE;
  link->state = LINK_STATE_CLOSED;
  return LINK_OK;
}

int32_t ConnectStorage(int32_t mode, CameraLink* link) {
  if (mode == LINK_DISCONNECT) return ClosePort(link);
  if (!CloseIfOpen(link)) return LINK_ERROR_PORT_OPEN_CLOSE;
  if (PortOpenStorage(link->port_type, link) <= 0) return LINK_ERROR_PORT_OPEN_CLOSE;
  link->state = LINK_STATE_READY;
  return LINK_OK;
}

int32_t DisconnectSerial(CameraLink* link) {
  if (link->state == LINK_STATE_CLOSED) return LINK_OK;
  // Send the camera back to the opening speed before letting go. A broken or
  // gone link most likely has no camera to hear it: one short try. The front
  // end's stop flag ends the wait at once.
  const bool broken = link->state == LINK_STATE_BROKEN || link->state == LINK_STATE_CAMERA_GONE;
  const uint32_t deadline_ms =
      ClockTickCount() + (broken ? DISCONNECT_BROKEN_LIMIT_MS : DISCONNECT_LIMIT_MS);
  link->speed_index = 0;
  if (ExchangeSetBefore(0, PROPERTY_SPEED, COMMAND_SPEED, broken ? 1 : EXCHANGE_TRIES, deadline_ms,
                        link) == LINK_OK) {
    PortSleep(link->port_type, SETTLE_MS);
  }
  return ClosePort(link);
}

int32_t ConnectSerial(CameraLink* link) {
  const uint32_t baud = SpeedTableBaud(link->speed_index);
  if (!CloseIfOpen(link)) return LINK_ERROR_PORT_OPEN_CLOSE;
  if (PortOpenCom(link->port_type, SERIAL_OPEN_BAUD, SERIAL_BYTE_SIZE, SERIAL_QUEUE_SIZE,
                  SERIAL_QUEUE_SIZE, link) <= 0) {
    return LINK_ERROR_SERIAL_CONNECT;
  }
  link->state = LINK_STATE_READY;
  PortSetFlowControl(link->port_type, FLOW_NONE, link->com_handle);
  DrainInput(link);
  if (!SerialHandshake(link)) return WaitEndCode(link);
  // The handshake has its own bound, and a camera left at another speed
  // needs all of it; what follows must not multiply the exchanges' retries.
  WaitBound bound(LINK_CONNECT_LIMIT_MS, link);
  const int32_t speed =
      ExchangeSet(static_cast<uint32_t>(link->speed_index), PROPERTY_SPEED, COMMAND_SPEED, link);
  if (speed != LINK_OK) return speed;
  if (PortSetBaud(link->port_type, baud, link->com_handle) != PORT_OK) {
    return LINK_ERROR_SERIAL_CONNECT;
  }
  if (link->speed_checked == 0) {
    uint32_t ready = 0;
    if (ExchangeGet(PROPERTY_READY, ready, link) != LINK_OK) return LINK_ERROR_SERIAL_CONNECT;
    link->speed_checked = 1;
  }
  PortSleep(link->port_type, SETTLE_MS);
  return LINK_OK;
}

int32_t CheckReconnectedCamera(CameraLink* link) {
  if (link->reconnect_check == nullptr) return LINK_OK;
  link->checking_reconnection = true;
  const int32_t verdict = link->reconnect_check(link->reconnect_user, link);
  link->checking_reconnection = false;
  return verdict;
}

int32_t Connect(int32_t mode, CameraLink* link) {
  if (mode != LINK_DISCONNECT && mode != LINK_CONNECT) return LINK_ERROR_INVALID_ARGUMENT;
  if (link->port_type == PORT_TYPE_NONE) return LINK_ERROR_NO_PORT;
  if (link->vendor_code == 0) {
    link->vendor_code = VENDOR_DEFAULT;
    link->large_blocks = 0;
  }
  if (IsStoragePipe(link)) return ConnectStorage(mode, link);
  link->control_sent = 0;
  return mode == LINK_CONNECT ? ConnectSerial(link) : DisconnectSerial(link);
}

}  // namespace

int32_t LinkSetSpeed(int32_t speed_index, CameraLink* link) {
  if (link == nullptr) return LinkSetError(LINK_ERROR_NO_LINK, link);
  if (speed_index < SPEED_INDEX_FIRST || speed_index > SPEED_INDEX_LAST) {
    link->speed_index = 0;
    return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  }
  link->speed_index = speed_index;
  link->speed_checked = 0;
  return LINK_OK;
}

int32_t LinkOpenPortChecked(int32_t port, int32_t& port_type, CameraLink* link) {
  if (link == nullptr) return LinkSetError(LINK_ERROR_NO_LINK, link);
  // A link in use keeps its port untouched.
  if (link->state != LINK_STATE_CLOSED) return LINK_ERROR_INTERNAL;
  if (port != LINK_PORT_AUTOMATIC && port != PORT_COM1 && port != PORT_COM2 &&
      port != PORT_TYPE_STORAGE) {
    return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  }
  const bool storage_searched = port == LINK_PORT_AUTOMATIC || port == PORT_TYPE_STORAGE;
  // Without a variant chosen the pipe cannot be searched: no camera there
  // is then unknown rather than absent.
  const int32_t not_found = storage_searched && !StorageTransportInitialised()
                                ? LINK_ERROR_STORAGE_NOT_INITIALISED
                                : LINK_ERROR_NO_PORT;
  bool found = false;
  if (storage_searched) {
    if (port == PORT_TYPE_STORAGE) {
      link->speed_checked = 0;
      link->speed_index = STORAGE_SPEED_INDEX;
    }
    link->port_type = FindStorageCamera(link);
    found = link->port_type > 0;
  }
  if (!found && port != PORT_TYPE_STORAGE) {
    const bool automatic = port == LINK_PORT_AUTOMATIC;
    const int32_t first = automatic ? PORT_COM1 : port;
    const int32_t last = automatic ? PORT_COM2 : port;
    for (int32_t com = first; com <= last && !found && !StopRequested(link); ++com) {
      found = SerialPortAnswers(com, automatic, link);
    }
  }
  link->state = LINK_STATE_CLOSED;
  if (!found) return LinkSetError(StopRequested(link) ? LINK_ERROR_STOPPED : not_found, link);
  port_type = link->port_type;
  return LinkSetError(LINK_OK, link);
}

int32_t LinkOpenPort(int32_t port, CameraLink* link) {
  int32_t port_type = PORT_TYPE_NONE;
  const int32_t code = LinkOpenPortChecked(port, port_type, link);
  switch (code) {
    case LINK_OK: return port_type;
    case LINK_ERROR_NO_LINK:
    case LINK_ERROR_INTERNAL: return code;
    default: return LINK_PORT_NOT_FOUND;
  }
}

int32_t LinkConnect(int32_t mode, CameraLink* link) {
  if (link == nullptr) return LinkSetError(LINK_ERROR_NO_LINK, link);
  return LinkSetError(Connect(mode, link), link);
}

int32_t LinkReconnect(CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  if (link->checking_reconnection) return LINK_ERROR_CAMERA_GONE;
  // Once the caller's bound has passed nothing is begun; the link stays as
  // it is.
  if (!TimeForAReconnection(link)) return WaitEndCode(link);
  const int32_t port = link->port_type;
  const int32_t speed_index = link->speed_index;
  if (link->state != LINK_STATE_CLOSED && link->state != LINK_STATE_CAMERA_GONE) {
    LinkConnect(LINK_DISCONNECT, link);
  }
  LinkSetSpeed(speed_index, link);
  LinkOpenPort(port, link);
  link->abort_requested = 1;
  if (WaitDeadlinePassed(link) || StopRequested(link)) return WaitEndCode(link);
  const int32_t connected = LinkConnect(LINK_CONNECT, link);
  return connected == LINK_OK ? CheckReconnectedCamera(link) : connected;
}

}  // namespace pelox
