// Steps 1000 (connect) and 1003 (check the camera) of the Main dialog.
#include "app/camera_checks.h"
#include "app/camera_identity.h"
#include "app/companion_monitor.h"
#include "app/main_dialog.h"
#include "app/resources/strings.h"
#include "commands/firmware_commands.h"
#include "link/link_info.h"
#include "link/speed_table.h"
#include "transport/storage/storage_init.h"

namespace pelox {
int32_t MainDialog::Connect() {
  TerminateMonitorProcesses();
  CloseMonitorWindow();
  StorageTransportInit(STORAGE_INIT_REQUEST);
  LinkDestroyAll();
  link_ = LinkCreate();
  if (link_ == nullptr) return STEP_ERROR_INVALID_HANDLE;
  LinkSetStopFlag(stop_, link_);
  LinkSetEventCallback(link_observer_, link_observer_user_, link_);
  const int32_t speed = preferred_speed_ != 0 ? preferred_speed_ : SPEED_INDEX_USUAL;
  if (LinkSetSpeed(speed, link_) != LINK_OK) return STEP_ERROR_INVALID_ACCESS;
  if (LinkOpenPortChecked(LINK_PORT_AUTOMATIC, facts_.port_type, link_) != LINK_OK ||
      !ConnectAtSpeed(speed)) {
    facts_.link_error = LinkLastError(link_);
    return STEP_ERROR_NOT_READY;
  }
  facts_.speed_index = LinkSpeedIndex(link_);
  facts_.device_index = LinkDeviceIndex(link_);
  return STEP_OK;
}

bool MainDialog::ConnectAtSpeed(int32_t speed) {
  if (LinkConnect(LINK_CONNECT, link_) == LINK_OK) return true;
  if (speed == SPEED_INDEX_USUAL || facts_.port_type == PORT_TYPE_STORAGE) return false;
  // The camera would not take the speed asked for: the usual one, from a
  // new handshake.
  facts_.speed_refused = true;
  return LinkSetSpeed(SPEED_INDEX_USUAL, link_) == LINK_OK &&
         LinkConnect(LINK_CONNECT, link_) == LINK_OK;
}

void MainDialog::NoteCamera(std::span<const char> maker, std::span<const char> version) {
  facts_.maker = BufferText(maker);
  facts_.camera_version = BufferText(version);
}

int32_t MainDialog::CheckCamera() {
  // A reconnection between the reads may have brought another camera: no
  // check rests on two cameras' answers, so they are read again, once.
  WatchReconnections();
  int32_t result = ReadAndCheckCamera();
  if (reconnected_) {
    WatchReconnections();
    result = ReadAndCheckCamera();
  }
  LinkSetReconnectCheck(nullptr, nullptr, link_);
  if (reconnected_) {
    facts_.link_error = LINK_ERROR_UNEXPECTED;
    facts_.write_detail = "the camera reconnected again while it was checked";
    return RefuseCamera(RunCause::CAMERA_PROBLEM, STEP_ERROR_IO_DEVICE);
  }
  if (result != STEP_OK) return result;
  EnterPhase(UpdatePhase::READY);
  view_.EnableControl(CONTROL_UPLOAD, true);
  view_.SetCursor(CURSOR_ARROW);
  view_.ShowMessage(STR_CLICK_UPLOAD);
  return STEP_OK;
}

int32_t MainDialog::ReadAndCheckCamera() {
  facts_.version_allowed_by_user = false;
  std::array<char, CAMERA_TEXT_SIZE> maker{};
  std::array<char, CAMERA_TEXT_SIZE> camera_version{};
  const int32_t maker_read = CameraGetVendor(maker, link_);
  NoteCamera(maker, camera_version);
  if (maker_read != LINK_OK || !MakerIsPelox(maker)) {
    facts_.link_error = maker_read;
    return RefuseCamera(maker_read != LINK_OK ? RunCause::CAMERA_PROBLEM : RunCause::OTHER_MAKER,
                        STEP_ERROR_IO_DEVICE);
  }
  const int32_t version_read = CameraGetFirmwareVersion(camera_version, link_);
  NoteCamera(maker, camera_version);
  if (version_read != LINK_OK) {
    facts_.link_error = version_read;
    return RefuseCamera(RunCause::CAMERA_PROBLEM, STEP_ERROR_IO_DEVICE);
  }
  if (!SameVersionFamily(image_version_, camera_version)) {
    return RefuseCamera(RunCause::OTHER_FAMILY, STEP_ERROR_INVALID_DATA);
  }
  if (!ImageIsNewer(image_version_, camera_version)) {
    if (!AllowanceCovers(allowance_, image_version_, camera_version)) {
      return RefuseCamera(RunCause::UP_TO_DATE, STEP_ERROR_INVALID_DATA);
    }
    facts_.version_allowed_by_user = true;
  }
  facts_.battery = AskBatteryLevel(link_);
  facts_.battery_threshold = BatteryThreshold(image_version_);
  if (BatteryTooLow(facts_.battery, facts_.battery_threshold)) {
    return RefuseCamera(RunCause::BATTERY_LOW, STEP_ERROR_CANTWRITE);
  }
  return STEP_OK;
}

int32_t MainDialog::RefuseCamera(RunCause cause, int32_t code) {
  camera_refusal_ = cause;
  return code;
}

}  // namespace pelox
