#pragma once
// The dialog view of the Windows front end: the modeless dialog from
// template 1000. Steps arrive as posted WM_COMMAND messages.
#include <windows.h>

#include "app/dialog_view.h"

namespace pelox {

class Win32View final : public DialogView {
 public:
  explicit Win32View(HINSTANCE instance) : instance_(instance) {}
  void Attach(HWND dialog) { dialog_ = dialog; }

  void ShowMessage(int32_t string_id) override;
  void ShowMessage(int32_t first_id, int32_t second_id) override;
  void EnableControl(int32_t control_id, bool enabled) override;
  void FocusControl(int32_t control_id) override;
  void SetCursor(int32_t cursor) override;
  void Close() override;
  void SetProgress(int32_t position) override;
  void PostStep(int32_t step_id) override;
  std::unique_ptr<Worker> StartWorker(std::function<void()> body) override;
  // The controls already follow the phase: a close request is refused by
  // the dialog manager while Close is disabled, and nothing else depends on it.
  void ShowPhase(const UpdateState& /*state*/) override {}

 private:
  HINSTANCE instance_;
  HWND dialog_ = nullptr;
};

}  // namespace pelox
