#include "app/win32/win32_view.h"

#include <commctrl.h>

#include <array>

#include "app/dialog_ids.h"
#include "app/worker_thread.h"

namespace pelox {
namespace {

// Every message is loaded into one buffer of this many characters; a second
// line gets the room the first left.
constexpr int MESSAGE_CAPACITY = 128;

}  // namespace

void Win32View::ShowMessage(int32_t string_id) {
  std::array<char, MESSAGE_CAPACITY> text{};
  LoadStringA(instance_, static_cast<UINT>(string_id), text.data(), MESSAGE_CAPACITY);
  SetDlgItemTextA(dialog_, CONTROL_MESSAGE, text.data());
}

void Win32View::ShowMessage(int32_t first_id, int32_t second_id) {
  std::array<char, MESSAGE_CAPACITY> text{};
  const int first_length =
      LoadStringA(instance_, static_cast<UINT>(first_id), text.data(), MESSAGE_CAPACITY);
  // Room for the line feed and at least the terminator of the second text.
  if (first_length >= 0 && first_length + 2 < MESSAGE_CAPACITY) {
    text[static_cast<size_t>(first_length)] = '\n';
    char* second = text.data() + first_length + 1;
    LoadStringA(instance_, static_cast<UINT>(second_id), second,
                MESSAGE_CAPACITY - first_length - 1);
  }
  SetDlgItemTextA(dialog_, CONTROL_MESSAGE, text.data());
}

void Win32View::EnableControl(int32_t control_id, bool enabled) {
  EnableWindow(GetDlgItem(dialog_, control_id), enabled ? TRUE : FALSE);
}

void Win32View::FocusControl(int32_t control_id) { ::SetFocus(GetDlgItem(dialog_, control_id)); }

void Win32View::SetCursor(int32_t cursor) {
  HCURSOR loaded = LoadCursorA(nullptr, cursor == CURSOR_WAIT ? IDC_WAIT : IDC_ARROW);
  if (loaded != nullptr) ::SetCursor(loaded);
}

void Win32View::Close() {
  DestroyWindow(dialog_);
  PostQuitMessage(CONTROL_CLOSE);
}

void Win32View::SetProgress(int32_t position) {
  // Posted, never sent: the interface thread may be joining the worker that
  // sets the bar, and posts keep their order behind the bar's earlier ones.
  PostMessageA(GetDlgItem(dialog_, CONTROL_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32View::PostStep(int32_t step_id) {
  PostMessageA(dialog_, WM_COMMAND, static_cast<WPARAM>(step_id), 0);
}

std::unique_ptr<Worker> Win32View::StartWorker(std::function<void()> body) {
  return StartThreadWorker(std::move(body));
}

}  // namespace pelox
