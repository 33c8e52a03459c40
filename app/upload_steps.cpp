// Steps 1004 to 1007 of the Main dialog and the bodies of their workers.
// Workers talk back only by posting steps and setting the bar; the dialog
// stops them cooperatively and joins them before it goes on.
#include "app/main_dialog.h"
#include "app/resources/strings.h"
#include "app/upload_worker.h"
#include "commands/firmware_commands.h"
#include "link/link_info.h"
#include "link/reply_reserve.h"
#include "platform/clock.h"

namespace pelox {
namespace {

constexpr int32_t PROGRESS_CONTINUE = 1;
constexpr int32_t PROGRESS_CANCEL = 0;

void Join(std::unique_ptr<Worker>& worker) {
  if (worker == nullptr) return;
  worker->Join();
  worker.reset();
}

}  // namespace

void MainDialog::StartTransfer() {
  // Only a checked camera and image, and only once a run.
  if (state_.phase != UpdatePhase::READY) return;
  EnterPhase(UpdatePhase::TRANSFERRING);
  view_.FocusControl(CONTROL_CLOSE);
  view_.EnableControl(CONTROL_CLOSE, false);
  view_.EnableControl(CONTROL_UPLOAD, false);
  view_.SetCursor(CURSOR_WAIT);
  view_.ShowMessage(STR_UPLOADING, STR_DO_NOT_TURN_OFF);
  progress_position_ = PROGRESS_EMPTY;
  view_.SetProgress(progress_position_);
  worker_ = view_.StartWorker([this] { RunTransfer(); });
  if (worker_ == nullptr) FailBeforeTransfer("no thread could be started for the transfer");
}

void MainDialog::FailBeforeTransfer(std::string detail) {
  facts_.write_detail = std::move(detail);
  view_.PostStep(STEP_WRITE_FAILED);
}

bool MainDialog::CancelTransfer() {
  WriteCommand seen = WriteCommand::UNDECIDED;
  return write_command_.compare_exchange_strong(seen, WriteCommand::CANCELLED) ||
         seen == WriteCommand::CANCELLED;
}

// The one point where a cancel and the write command meet: whichever comes
// first holds, so what the user is told matches what the camera got.
bool MainDialog::BeginWrite() {
  WriteCommand seen = WriteCommand::UNDECIDED;
  return write_command_.compare_exchange_strong(seen, WriteCommand::BEGUN);
}

void MainDialog::RunTransfer() {
  LinkSetProgressCallback(&MainDialog::TransferProgress, this, link_);
  LinkSetReconnectCheck(&MainDialog::ConfirmCheckedCamera, this, link_);
  last_progress_ms_ = ClockTickCount();
  LinkSetStallBound(TRANSFER_STALL_MS, link_);
  const int32_t result = CameraUploadFirmwareData(image_.bytes, FIRMWARE_FILE_UPLOAD_KEY, link_);
  LinkSetStallBound(0, link_);
  LinkSetProgressCallback(nullptr, nullptr, link_);
  // Another camera on the path says more than the silence that followed it.
  if (result != LINK_OK && facts_.write_detail.empty() &&
      ClockTickCount() - last_progress_ms_ >= TRANSFER_STALL_MS) {
    facts_.write_detail = TRANSFER_STALL_DETAIL;
  }
  view_.PostStep(result == LINK_OK ? STEP_TRANSFER_DONE : STEP_WRITE_FAILED);
}

int32_t MainDialog::TransferProgress(void* user, int32_t /*reserved*/, int32_t percent) {
  auto* dialog = static_cast<MainDialog*>(user);
  if (dialog->stop_requested_ || dialog->write_command_ == WriteCommand::CANCELLED) {
    return PROGRESS_CANCEL;
  }
  dialog->last_progress_ms_ = ClockTickCount();
  dialog->view_.SetProgress(percent);
  return PROGRESS_CONTINUE;
}

void MainDialog::TransferDone() {
  Join(worker_);
  if (!BeginWrite()) return view_.PostStep(STEP_WRITE_FAILED);
  EnterPhase(UpdatePhase::WRITING);
  progress_position_ = PROGRESS_EMPTY;
  view_.ShowMessage(STR_WRITING, STR_DO_NOT_TURN_OFF);
  animator_stop_ = false;
  // Without a thread of its own the bar stands still; nothing waits on it.
  animator_ =
      view_.StartWorker([this] { AnimateProgress(view_, progress_position_, animator_stop_); });
  worker_ = view_.StartWorker([this] { RunFlashWait(); });
  // The wait is bounded and needs nothing from this thread, so without a
  // thread of its own it runs here rather than leave the image unwritten.
  if (worker_ == nullptr) RunFlashWait();
}

void MainDialog::RunFlashWait() {
  // The minute counts from the write command, which leaves after its pause;
  // the wait, and everything on the link within it, ends one full poll later.
  const uint32_t deadline_ms =
      ClockTickCount() + FIRMWARE_WRITE_DELAY_MS + CAMERA_WRITE_WAIT_MS + FULL_POLL_MS;
  LinkSetWaitDeadline(deadline_ms, link_);
  // The camera hears nothing it could not answer before the verdict.
  LinkReserveReplyTime(true, link_);
  const bool written = WriteAndWait(deadline_ms);
  LinkReserveReplyTime(false, link_);
  LinkSetWaitDeadline(std::nullopt, link_);
  view_.PostStep(written ? STEP_WRITE_FINISHED : STEP_WRITE_FAILED);
}

bool MainDialog::WriteAndWait(uint32_t deadline_ms) {
  const uint32_t packets_before = LinkPacketsSent(link_);
  const int32_t answer = CameraWriteFirmware(link_);
  WatchReconnections();
  // Once any byte of the command may have left, the camera may be writing:
  // only its own word ends the wait.
  facts_.write_command_sent = LinkPacketsSent(link_) != packets_before;
  if (!facts_.write_command_sent) {
    facts_.write_detail = "the write command could not be sent";
    return false;
  }
  // Every copy refused: the camera never took the command.
  write_refused_ = answer == LINK_ERROR_NAK;
  if (write_refused_) {
    facts_.write_detail = "the camera answered every copy of the write command with NAK";
    return false;
  }
  // A command that went unacknowledged leaves the link to reconnect, after
  // which only the checked camera with the image's version counts as ready.
  WriteWitness witness{.acknowledged = answer == LINK_OK};
  const FlashLook found = WaitForCameraReady(
      [this, &witness] { return LookAtWritingCamera(witness, link_); }, deadline_ms,
      stop_requested_);
  if (found == FlashLook::FAILED) {
    facts_.write_detail = "the camera reported an error while writing";
  } else if (found == FlashLook::WRITING) {
    facts_.write_detail =
        witness.acknowledged
            ? "the camera did not report ready by the end of the wait"
            : "the write command went unanswered and the camera did not report ready";
  }
  if (found != FlashLook::READY) return false;
  return CameraConfirmedTheWrite(witness, reconnected_) || VersionShowsTheWrite();
}

void MainDialog::WriteFinished() {
  StopAnimator();
  Join(worker_);
  progress_position_ = PROGRESS_EMPTY;
  view_.SetProgress(progress_position_);
  view_.EnableControl(CONTROL_CLOSE, true);
  view_.FocusControl(CONTROL_CLOSE);
  view_.SetCursor(CURSOR_ARROW);
  ReportFacts();
  EndChain(RunCause::WRITTEN);
  view_.ShowMessage(STR_WRITE_COMPLETE);
}

void MainDialog::WriteFailed() {
  StopAnimator();
  Join(worker_);
  facts_.failed_step = STEP_WRITE_FAILED;
  facts_.link_error = LinkLastError(link_);
  NoteRefusal();
  ReportFacts();
  // Whichever of the cancel and the write command came first decides.
  const WriteCommand decided = write_command_;
  const RunCause begun = write_refused_ ? RunCause::WRITE_REFUSED : RunCause::WRITE_UNCERTAIN;
  EndChain(decided == WriteCommand::BEGUN       ? begun
           : decided == WriteCommand::CANCELLED ? RunCause::INTERRUPTED
                                                : RunCause::WRITE_FAILED);
  view_.ShowMessage(STR_WRITE_ERROR);
  progress_position_ = PROGRESS_EMPTY;
  view_.SetProgress(progress_position_);
  view_.EnableControl(CONTROL_CLOSE, true);
  view_.FocusControl(CONTROL_CLOSE);
  view_.SetCursor(CURSOR_ARROW);
}

void MainDialog::StopAnimator() {
  animator_stop_ = true;
  Join(animator_);
}

void MainDialog::StopWorkers() {
  stop_requested_ = true;
  StopAnimator();
  Join(worker_);
}

}  // namespace pelox
