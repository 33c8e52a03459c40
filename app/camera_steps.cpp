// Steps 1000 (connect) and 1003 (check the camera) of the Main dialog.
#include "app/camera_checks.h"
#include "app/companion_monitor.h"
#include "app/main_dialog.h"
#include "app/resources/strings.h"
#include "commands/firmware_commands.h"
#include "transport/storage/storage_ops.h"

namespace pelox {
namespace {

constexpr int32_t LINK_SPEED_INDEX = 5;

}  // namespace

int32_t MainDialog::Connect() {
  TerminateMonitorProcesses();
  CloseMonitorWindow();
  StorageTransportInit(STORAGE_INIT_REQUEST);
  LinkDestroyAll();
  link_ = LinkCreate();
  if (link_ == nullptr) return STEP_ERROR_INVALID_HANDLE;
  if (LinkSetSpeed(LINK_SPEED_INDEX, link_) != LINK_OK) return STEP_ERROR_INVALID_ACCESS;
  if (LinkOpenPort(LINK_PORT_AUTOMATIC, link_) == LINK_PORT_NOT_FOUND) return STEP_ERROR_NOT_READY;
  if (LinkConnect(LINK_CONNECT, link_) != LINK_OK) return STEP_ERROR_NOT_READY;
  return STEP_OK;
}

int32_t MainDialog::CheckCamera() {
  std::array<char, CAMERA_TEXT_SIZE> maker{};
  std::array<char, CAMERA_TEXT_SIZE> camera_version{};
  if (CameraGetVendor(maker, link_) != LINK_OK || !MakerIsPelox(maker)) return STEP_ERROR_IO_DEVICE;
  if (CameraGetFirmwareVersion(camera_version, link_) != LINK_OK) return STEP_ERROR_IO_DEVICE;
  if (!SameVersionFamily(image_version_, camera_version) ||
      !ImageIsNewer(image_version_, camera_version)) {
    return STEP_ERROR_INVALID_DATA;
  }
  if (BatteryTooLow(CameraGetBatteryLevel(link_), BatteryThreshold(image_version_))) {
    return STEP_ERROR_CANTWRITE;
  }
  phase_ = Phase::READY;
  view_.EnableControl(CONTROL_UPLOAD, true);
  view_.SetCursor(CURSOR_ARROW);
  view_.ShowMessage(STR_CLICK_UPLOAD);
  return STEP_OK;
}

}  // namespace pelox
