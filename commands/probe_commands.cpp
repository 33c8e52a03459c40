#include "commands/probe_commands.h"

#include <array>

#include "link/error_record.h"
#include "link/link_commands.h"
#include "link/link_info.h"
#include "link/link_list.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

// The settings the link opens a COM port with.
constexpr uint32_t PROBE_BAUD = 19200;
constexpr uint8_t PROBE_BYTE_SIZE = 8;
constexpr uint32_t PROBE_QUEUE_SIZE = 4096;
// Read time-outs in the serial port's unit of 10 ms.
constexpr int32_t DISCARD_TIMEOUT = 1;
constexpr int32_t CHECK_TIMEOUT = 3;

int32_t OpenProbe(int32_t port, CameraLink* link) {
  // Releasing every listed link would free this one under our feet.
  if (LinkListed(link)) return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  LinkDestroyAll();
  if (PortOpenCom(port, PROBE_BAUD, PROBE_BYTE_SIZE, PROBE_QUEUE_SIZE, PROBE_QUEUE_SIZE,
                  LinkPort(link)) == PORT_FAILED) {
    LinkSetState(LINK_STATE_CLOSED, link);
    return LinkSetError(LINK_ERROR_NO_PORT, link);
  }
  LinkSetState(LINK_STATE_READY, link);
  PortSetFlowControl(port, FLOW_NONE, CameraGetComHandle(link));
  std::array<uint8_t, 1> byte{};
  while (PortRead(LinkPort(link), byte, DISCARD_TIMEOUT) == 1) {
  }
  return LinkSetError(LINK_OK, link);
}

int32_t CloseProbe(CameraLink* link) {
  if (LinkCurrentState(link) == LINK_STATE_READY) {
    PortClose(LinkPort(link));
    LinkSetState(LINK_STATE_CLOSED, link);
  }
  return LINK_OK;
}

int32_t CheckProbe(bool& camera_answered, CameraLink* link) {
  if (LinkCurrentState(link) != LINK_STATE_READY) return LINK_OK;
  std::array<uint8_t, 1> byte{};
  camera_answered =
      PortRead(LinkPort(link), byte, CHECK_TIMEOUT) == 1 && byte[0] == PROBE_CAMERA_BYTE;
  return LINK_OK;
}

}  // namespace

int32_t CameraProbeSerialLineChecked(int32_t port, int32_t mode, bool& camera_answered,
                                     CameraLink* link) {
  camera_answered = false;
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  switch (mode) {
    case PROBE_OPEN: return OpenProbe(port, link);
    case PROBE_CLOSE: return CloseProbe(link);
    case PROBE_CHECK: return CheckProbe(camera_answered, link);
    default: return LinkSetError(LINK_ERROR_INVALID_ARGUMENT, link);
  }
}

int32_t CameraProbeSerialLine(int32_t port, int32_t mode, CameraLink* link) {
  bool camera_answered = false;
  const int32_t code = CameraProbeSerialLineChecked(port, mode, camera_answered, link);
  return camera_answered ? LINK_ERROR_NAK : code;
}

int32_t CameraNoOperation(int32_t /*first*/, int32_t /*second*/, CameraLink* link) {
  return link != nullptr ? LinkSetError(LINK_OK, link) : LINK_ERROR_NO_LINK;
}

SerialHandle CameraGetComHandle(const CameraLink* link) { return LinkComHandle(link); }

}  // namespace pelox
