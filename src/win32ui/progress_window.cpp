#include "win32ui/progress_window.h"

#include <commctrl.h>

#include "platform/win32/wide.h"

namespace vellum::win32ui {

bool ProgressWindow::Create(std::string_view title) {
  cancelAsked_ = false;
  dialog_ = CreateDialogParamW(instance_, MAKEINTRESOURCEW(app::kProgressDialogId), owner_, &Procedure,
                               reinterpret_cast<LPARAM>(this));
  if (!dialog_) return false;
  SetWindowTextW(dialog_, platform::win32::Wide(title).c_str());
  SendDlgItemMessageW(dialog_, app::kProgressBarId, PBM_SETRANGE32, app::kBarLow, app::kBarHigh);
  SendDlgItemMessageW(dialog_, app::kProgressBarId, PBM_SETSTEP, app::kBarStep, 0);
  ShowWindow(dialog_, SW_SHOW);
  UpdateWindow(dialog_);
  return true;
}

void ProgressWindow::Destroy() {
  if (dialog_) DestroyWindow(dialog_);
  dialog_ = nullptr;
}

void ProgressWindow::SetLabelText(int id, std::string_view text) {
  if (dialog_) SetDlgItemTextW(dialog_, id, platform::win32::Wide(text).c_str());
}

void ProgressWindow::SetLabelVisible(int id, bool visible) {
  if (!dialog_) return;
  ShowWindow(GetDlgItem(dialog_, id), visible ? SW_SHOW : SW_HIDE);
  UpdateWindow(dialog_);
}

void ProgressWindow::SetBarPosition(int position) {
  if (dialog_) SendDlgItemMessageW(dialog_, app::kProgressBarId, PBM_SETPOS, position, 0);
}

// Every pending message of the thread, without waiting; the dialog's own
// keys (Tab, Enter, Esc) first.
bool ProgressWindow::PumpEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      cancelAsked_ = true;
      break;
    }
    if (dialog_ && IsDialogMessageW(dialog_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  const bool asked = cancelAsked_;
  cancelAsked_ = false;
  return asked;
}

// Cancel, Enter (the default button) and Esc and the close box (IDCANCEL)
// ask to stop; the window stays until the walk closes it. OK does nothing.
INT_PTR CALLBACK ProgressWindow::Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, l);
    return TRUE;
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_COMMAND && LOWORD(w) == app::kProgressCancelId && self) {
    self->cancelAsked_ = true;
    return TRUE;
  }
  if (message == WM_CLOSE && self) {
    self->cancelAsked_ = true;
    return TRUE;
  }
  return FALSE;
}

}  // namespace vellum::win32ui
