// PeloxUploader.exe: the Main dialog as a modeless Win32 dialog.
// windows.h must come before the headers that build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include "app/dialog_ids.h"
#include "app/main_dialog.h"
#include "app/win32/win32_view.h"

namespace {

struct Application {
  pelox::Win32View view;
  pelox::MainDialog dialog;
  explicit Application(HINSTANCE instance) : view(instance), dialog(view) {}
};

Application* ApplicationOf(HWND window) {
  return reinterpret_cast<Application*>(GetWindowLongPtrA(window, DWLP_USER));
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* application = reinterpret_cast<Application*>(lparam);
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    application->view.Attach(window);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(pelox::ICON_MAIN));
    SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    application->dialog.Start();
    return TRUE;
  }
  // Without a WM_CLOSE handler the dialog manager turns a close request into
  // IDCANCEL only while the Close button is enabled.
  if (message == WM_COMMAND) {
    if (Application* application = ApplicationOf(window)) {
      application->dialog.Command(static_cast<uint32_t>(wparam));
    }
    return TRUE;
  }
  return FALSE;
}

void RunDialog(HINSTANCE instance) {
  Application application(instance);
  HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(pelox::DIALOG_TEMPLATE_MAIN), nullptr,
                                   MainDialogProc, reinterpret_cast<LPARAM>(&application));
  if (window == nullptr) return;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(window, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
  const bool com_ready = SUCCEEDED(CoInitialize(nullptr));
  if (com_ready) {
    // Loading the common controls registers the progress bar's class.
    HMODULE common_controls = LoadLibraryA("ComCtl32.dll");
    if (common_controls != nullptr) {
      INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
      InitCommonControlsEx(&classes);
      RunDialog(instance);
      FreeLibrary(common_controls);
    }
    CoUninitialize();
  }
  return 0;
}
