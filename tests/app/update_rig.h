#pragma once
// One whole firmware update through the Main dialog's step machine, against
// the virtual camera on a simulated serial line or behind one storage
// variant, in virtual time: the soak and the unplug sweep drive it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "sim/camera/virtual_camera.h"
#include "sim/storage/storage_face.h"
#include "tests/app/firmware_files.h"
#include "tests/app/recording_view.h"

namespace pelox::test {

enum class UpdatePort { SERIAL, ASPI, PASS_THROUGH, SG_IO };
std::string UpdatePortName(UpdatePort port);

struct UpdateEnd {
  bool upload_offered = false;      // the checks passed and Upload was pressed
  std::string message;              // the dialog's last message
  uint64_t upload_ms = 0;           // virtual time from Upload to the last message
  DialogFacts facts;                // as the dialog reported them last
  std::vector<UpdateState> phases;  // every phase told
  uint64_t stall_ms = 0;            // the transfer's longest time without progress
  uint64_t stall_limit_ms = 0;      // the stall bound and the port call under way at it
};

// The protocol's bound on an update's time from Upload to its end.
uint64_t UpdateBoundMs(size_t image_size, UpdatePort port);

// The uploader's promises the update broke, empty when it kept them: it ends
// with "Writing Firmware is complete." or "Error in writing Firmware.", the
// former only when the checked camera flashed; the camera never flashes
// other bytes than the image; another camera on the path is never sent it;
// the write command leaves once, again only on the camera's NAK;
// it ends within its bound and never stalls past its limit; everything is
// released; the phases told are its cause's, and a camera asked to write is
// never told as a safe failure.
std::string BrokenPromises(const UpdateEnd& end, const sim::VirtualCamera& camera,
                           const std::vector<uint8_t>& image, uint64_t bound_ms, bool released);

class UpdateRig {
 public:
  // `other` is the camera a swap fault brings onto the path.
  UpdateRig(UpdatePort port, const std::vector<uint8_t>& image,
            sim::CameraConfig other = sim::OtherCameraConfig());
  ~UpdateRig();
  UpdateRig(const UpdateRig&) = delete;
  UpdateRig& operator=(const UpdateRig&) = delete;

  sim::VirtualCamera& Camera() { return camera_; }
  // Called with the SCSI command's index (from 0) before the camera sees it.
  void BeforeScsiCommand(std::function<void(size_t)> hook) { before_scsi_ = std::move(hook); }
  size_t ScsiCommands() const { return scsi_commands_; }

  // Runs the checks and, when they pass, `before_upload` and the upload to
  // its end.
  UpdateEnd Run(const std::function<void()>& before_upload = {});
  // Closes the dialog; true when every worker was joined and the link, its
  // port and its device are released.
  bool CloseAndCheckReleased();

 private:
  class HookedDevice;

  void Settle();

  UpdatePort port_;
  ScratchDirectory scratch_;
  sim::VirtualCamera camera_;
  std::unique_ptr<sim::StorageFace> face_;
  std::unique_ptr<HookedDevice> device_;
  std::function<void(size_t)> before_scsi_;
  size_t scsi_commands_ = 0;
  RecordingView view_;
  std::unique_ptr<MainDialog> dialog_;
};

}  // namespace pelox::test
