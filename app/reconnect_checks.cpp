// The Main dialog's look at the camera after a reconnection during the
// upload: another camera may answer on the same path, or the checked one
// without the new firmware.
#include "app/camera_identity.h"
#include "app/main_dialog.h"

namespace pelox {

int32_t MainDialog::ConfirmCheckedCamera(void* user, CameraLink* link) {
  MainDialog& dialog = *static_cast<MainDialog*>(user);
  CameraIdentity found;
  const int32_t read = ReadCameraIdentity(found, link);
  if (read != LINK_OK) {
    dialog.facts_.write_detail = "the camera could not be identified after a reconnection";
    return read;
  }
  const std::string change =
      CheckedCameraChange({dialog.facts_.maker, dialog.facts_.camera_version}, found,
                          AskBatteryLevel(link), dialog.facts_.battery_threshold);
  if (change.empty()) return LINK_OK;
  dialog.facts_.write_detail =
      "the camera that answered after a reconnection is not the one checked: " + change;
  return LINK_ERROR_UNEXPECTED;
}

void MainDialog::WatchReconnections() {
  reconnected_ = false;
  LinkSetReconnectCheck(
      [](void* user, CameraLink* /*link*/) -> int32_t {
        static_cast<MainDialog*>(user)->reconnected_ = true;
        return LINK_OK;
      },
      this, link_);
}

bool MainDialog::VersionShowsTheWrite() {
  // Without the camera's own word the "ready" may be another camera's, or
  // the checked camera's without the new firmware: only a version it did not
  // have before shows the write.
  reconnected_ = false;
  CameraIdentity found;
  const int32_t read = ReadCameraIdentity(found, link_);
  const std::string change = IdentityChange({facts_.maker, facts_.image_version}, found);
  if (read == LINK_OK && !reconnected_ && change.empty() &&
      facts_.camera_version != facts_.image_version) {
    return true;
  }
  // Not known to have written the image: state uncertain.
  if (read != LINK_OK || reconnected_) {
    facts_.write_detail = "the camera could not be identified after a reconnection";
  } else if (!change.empty()) {
    facts_.write_detail = "the camera came back after a reconnection with " + change;
  } else {
    facts_.write_detail = "the camera did not confirm the write itself, and its version " +
                          found.version + " is the one it had before";
  }
  return false;
}

}  // namespace pelox
