#pragma once
// The Main dialog's step machine. Steps 1000 to 1003 connect to the camera
// and check the image and the camera without user input; "Upload" leads to
// steps 1004 to 1007, whose workers transfer the image and wait while the
// camera writes it. Every effect goes through the DialogView; steps, the
// commands and Close run on the view's thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/camera_checks.h"
#include "app/dialog_ids.h"
#include "app/dialog_view.h"
#include "app/firmware_image.h"
#include "app/update_phase.h"
#include "app/upload_worker.h"
#include "link/camera_link.h"

namespace pelox {

class MainDialog {
 public:
  // `stop`, when given, is the front end's flag for cutting the camera's
  // disconnect short (non-zero: stop), e.g. its pending signal; it must
  // outlive the dialog, and setting it is safe from a signal handler.
  explicit MainDialog(DialogView& view, const std::atomic<int>* stop = nullptr);
  // Stops the workers cooperatively, joins them and releases what is open.
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  // The window exists: show the wait cursor and post the first step.
  void Start();
  // A command for the dialog; only its low word, the id, is looked at.
  void Command(uint32_t command);

  // For front ends that offer more than the dialog. Before Start: the image
  // to use instead of Firmware.bin in the current directory.
  void UseImage(std::string path) { image_path_ = std::move(path); }
  // Before Start: the serial speed index to ask for after the handshake;
  // a camera that refuses it is connected at the usual speed.
  void PreferSpeed(int32_t speed_index) { preferred_speed_ = speed_index; }
  // Before Start: the images besides newer ones that the camera check takes.
  void AllowVersions(VersionAllowance allowance) { allowance_ = allowance; }
  // Before Start: who hears of the link's resends, waits and frames.
  void ObserveLink(LinkEventCallback callback, void* user) {
    link_observer_ = callback;
    link_observer_user_ = user;
  }
  // From any thread: ends the upload before the camera is asked to write,
  // a running transfer at its next progress report. True when the cancel
  // holds: no write command will be sent and the camera keeps its old
  // firmware; false when the write has begun and must run to its end.
  bool CancelTransfer();

 private:
  // A cancel and the write command decide once which of them holds.
  enum class WriteCommand { UNDECIDED, CANCELLED, BEGUN };

  // Steps 1000 to 1003 return a step error code; Run... shows the message
  // that belongs to it on the way out.
  void RunCheckStep(int32_t step, int32_t (MainDialog::*actions)());
  int32_t Connect();
  bool ConnectAtSpeed(int32_t speed);
  int32_t OpenFirmware();
  int32_t CheckFirmware();
  int32_t CheckCamera();
  int32_t ReadAndCheckCamera();

  void StartTransfer();
  bool BeginWrite();
  void FailBeforeTransfer(std::string detail);
  void TransferDone();
  void WriteFinished();
  void WriteFailed();
  void CloseDialog();

  // Worker bodies.
  void RunTransfer();
  void RunFlashWait();
  // Sends the write command and waits for the camera's word on it; true
  // only when the camera said it is ready again after writing.
  bool WriteAndWait(uint32_t deadline_ms);
  static int32_t TransferProgress(void* user, int32_t reserved, int32_t percent);
  // After a reconnection up to the write command only the checked camera
  // may go on (a reconnect check; `user` is the dialog). While the camera
  // is checked, and while it writes, it cannot yet say who it must be: a
  // reconnection then is only noted (`reconnected_`), and acted on later.
  static int32_t ConfirmCheckedCamera(void* user, CameraLink* link);
  void WatchReconnections();
  // After a "ready" the camera did not confirm itself: true only when the
  // checked camera now has the image's version and had another before.
  bool VersionShowsTheWrite();

  void ReportFacts() { view_.ReportFacts(facts_); }
  void EnterPhase(UpdatePhase phase);
  // Ends the chain with `cause`; the facts must have been reported.
  void EndChain(RunCause cause);
  // A camera check's failure: its cause, and the step error code it returns.
  int32_t RefuseCamera(RunCause cause, int32_t code);
  void NoteRefusal();
  void NoteCamera(std::span<const char> maker, std::span<const char> version);
  void StopAnimator();
  void StopWorkers();
  void ReleaseAll();

  DialogView& view_;
  const std::atomic<int>* stop_;
  UpdateState state_;
  RunCause camera_refusal_ = RunCause::NONE;
  CameraLink* link_ = nullptr;
  FirmwareImage image_;
  std::string image_path_;
  int32_t preferred_speed_ = 0;  // 0: the usual speed
  VersionAllowance allowance_;
  LinkEventCallback link_observer_ = nullptr;
  void* link_observer_user_ = nullptr;
  DialogFacts facts_;
  VersionText image_version_{};
  std::unique_ptr<Worker> worker_;
  std::unique_ptr<Worker> animator_;
  std::atomic<int32_t> progress_position_{PROGRESS_EMPTY};
  uint32_t last_progress_ms_ = 0;  // the transfer's tick of its last acknowledged frame
  std::atomic<bool> stop_requested_{false};
  std::atomic<WriteCommand> write_command_{WriteCommand::UNDECIDED};
  std::atomic<bool> animator_stop_{false};
  bool reconnected_ = false;  // by the thread that uses the link
  bool write_refused_ = false;  // the camera NAKed every copy of the write command
};

}  // namespace pelox
