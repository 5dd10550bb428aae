// The main window's look and feel: picture buttons, colours, resizing,
// moving by the background, and the exit button's question.
#include "win32ui/main_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <filesystem>

#include "app/window_texts.h"

namespace vellum::win32ui {

bool MainWindow::HandleLook(UINT message, WPARAM w, LPARAM l, INT_PTR& result) {
  switch (message) {
    case WM_DRAWITEM:
      result = TRUE;
      return look_.OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(l));
    case WM_SETCURSOR:
      if (!look_.OnSetCursor(reinterpret_cast<HWND>(w))) return false;
      SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, TRUE);
      result = TRUE;
      return true;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      result = reinterpret_cast<INT_PTR>(look_.OnColour(reinterpret_cast<HDC>(w)));
      return true;
    case WM_SIZE:
      layout_.Apply();
      RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      return false;
    case WM_LBUTTONDOWN:
      // A press on the background drags the window as its caption would.
    {
      POINT at{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      ClientToScreen(dialog_, &at);
      PostMessageW(dialog_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(at.x, at.y));
      return true;
    }
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<INT_PTR>(icon_);
      return true;
    default: return false;
  }
}

void MainWindow::OnExit() {
  if (messages_.Show(app::kExitQuestion, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::Yes) ==
      MessageAnswer::Yes)
    OpenManual();
  EndDialog(dialog_, 0);
}

// There is no web site: the program's own guide, installed beside it, stands
// in for both pages.
void MainWindow::OpenManual() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::filesystem::path manual = std::filesystem::path(self).parent_path() / L"manual.html";
  ShellExecuteW(dialog_, L"open", manual.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace vellum::win32ui
