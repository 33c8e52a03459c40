#include "app/main_dialog.h"

#include <optional>

#include "app/camera_checks.h"
#include "app/resources/strings.h"

namespace pelox {
namespace {

constexpr uint32_t COMMAND_ID_MASK = 0xFFFF;

// The start message of a check step; step 1002 has none of its own.
int32_t StartMessage(int32_t step) {
  switch (step) {
    case STEP_CONNECT: return STR_COMMUNICATION_AUTO;
    case STEP_OPEN_FIRMWARE: return STR_CHECKING_FIRMWARE;
    case STEP_CHECK_CAMERA: return STR_CHECKING_CAMERA;
    default: return 0;
  }
}

// The phase a check step begins; step 1002 goes on with 1001's.
std::optional<UpdatePhase> StartPhase(int32_t step) {
  switch (step) {
    case STEP_CONNECT: return UpdatePhase::SEARCHING;
    case STEP_OPEN_FIRMWARE: return UpdatePhase::CHECKING_IMAGE;
    case STEP_CHECK_CAMERA: return UpdatePhase::CHECKING_CAMERA;
    default: return std::nullopt;
  }
}

int32_t FailureMessage(int32_t step, int32_t code) {
  switch (step) {
    case STEP_CONNECT: return STR_CAMERA_NOT_CONNECTED;
    case STEP_OPEN_FIRMWARE: return STR_NO_FIRMWARE;
    case STEP_CHECK_FIRMWARE: return STR_FIRMWARE_NOT_CORRECT;
    default:
      if (code == STEP_ERROR_INVALID_DATA) return STR_FIRMWARE_NOT_CORRECT;
      if (code == STEP_ERROR_CANTWRITE) return STR_BATTERY_LOW;
      return STR_CAMERA_PROBLEM;
  }
}

}  // namespace

MainDialog::MainDialog(DialogView& view, const std::atomic<int>* stop) : view_(view), stop_(stop) {}

MainDialog::~MainDialog() { ReleaseAll(); }

void MainDialog::Start() {
  view_.SetCursor(CURSOR_WAIT);
  view_.PostStep(STEP_CONNECT);
}

void MainDialog::Command(uint32_t command) {
  switch (static_cast<int32_t>(command & COMMAND_ID_MASK)) {
    case STEP_CONNECT: return RunCheckStep(STEP_CONNECT, &MainDialog::Connect);
    case STEP_OPEN_FIRMWARE: return RunCheckStep(STEP_OPEN_FIRMWARE, &MainDialog::OpenFirmware);
    case STEP_CHECK_FIRMWARE: return RunCheckStep(STEP_CHECK_FIRMWARE, &MainDialog::CheckFirmware);
    case STEP_CHECK_CAMERA: return RunCheckStep(STEP_CHECK_CAMERA, &MainDialog::CheckCamera);
    case CONTROL_UPLOAD: return view_.PostStep(STEP_START_TRANSFER);
    case CONTROL_CLOSE: return CloseDialog();
    case STEP_START_TRANSFER: return StartTransfer();
    case STEP_TRANSFER_DONE: return TransferDone();
    case STEP_WRITE_FINISHED: return WriteFinished();
    case STEP_WRITE_FAILED: return WriteFailed();
    default: return;
  }
}

void MainDialog::RunCheckStep(int32_t step, int32_t (MainDialog::*actions)()) {
  if (const auto phase = StartPhase(step)) EnterPhase(*phase);
  if (const int32_t start_message = StartMessage(step); start_message != 0) {
    view_.ShowMessage(start_message);
  }
  const int32_t code = (this->*actions)();
  if (code != STEP_OK) {
    facts_.failed_step = step;
    facts_.step_error = code;
    NoteRefusal();
  }
  ReportFacts();
  if (code != STEP_OK) {
    EndChain(step == STEP_CONNECT        ? RunCause::NO_CAMERA
             : step == STEP_CHECK_CAMERA ? camera_refusal_
                                         : RunCause::IMAGE_REFUSED);
    view_.ShowMessage(FailureMessage(step, code));
  } else if (step != STEP_CHECK_CAMERA) {
    view_.PostStep(step + 1);
  }
}

int32_t MainDialog::OpenFirmware() {
  const int32_t code = FirmwareImageOpen(image_, image_path_);
  facts_.image_open_error = image_.open_error;
  return code;
}

int32_t MainDialog::CheckFirmware() {
  const HeaderVerdict verdict = FirmwareImageInspect(image_, image_version_);
  NoteImageCheck(verdict, std::string(BufferText(image_version_)),
                 static_cast<uint64_t>(image_.file_size), facts_);
  return verdict.fault == HeaderFault::NONE ? STEP_OK : STEP_ERROR_INVALID_PARAMETER;
}

void MainDialog::CloseDialog() {
  // The camera must not be left mid-transfer or mid-write, whatever the
  // front end lets through.
  const UpdatePhase phase = state_.phase;
  if (phase == UpdatePhase::TRANSFERRING || phase == UpdatePhase::WRITING) return;
  if (phase != UpdatePhase::ENDED) EndChain(RunCause::CLOSED);
  ReleaseAll();
  view_.Close();
}

void MainDialog::EnterPhase(UpdatePhase phase) {
  state_.phase = phase;
  if (phase == UpdatePhase::WRITING) state_.write_may_have_left = true;
  view_.ShowPhase(state_);
}

void MainDialog::EndChain(RunCause cause) {
  state_.cause = cause;
  EnterPhase(UpdatePhase::ENDED);
}

// The device's own words on the storage pipe, for a detail beyond the message.
void MainDialog::NoteRefusal() {
  const std::span<const uint8_t> sense = LinkLastSense(link_);
  facts_.sense.assign(sense.begin(), sense.end());
}

void MainDialog::ReleaseAll() {
  StopWorkers();
  if (link_ != nullptr) {
    LinkConnect(LINK_DISCONNECT, link_);
    LinkDelete(link_);
    link_ = nullptr;
  }
  FirmwareImageRelease(image_);
}

}  // namespace pelox
