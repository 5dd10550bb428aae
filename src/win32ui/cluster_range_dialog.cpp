#include "win32ui/cluster_range_dialog.h"

#include <string>

#include "app/cluster_range.h"
#include "platform/win32/wide.h"

namespace vellum::win32ui {

namespace {

std::string EditText(HWND dialog, int id) {
  wchar_t text[64] = {};
  GetDlgItemTextW(dialog, id, text, 64);
  return platform::win32::Utf8(text);
}

}  // namespace

bool ClusterRangeDialog::RunClusterRangeDialog(uint64_t& start, uint64_t& end) {
  start_ = start;
  end_ = end;
  const INT_PTR answer = DialogBoxParamW(instance_, MAKEINTRESOURCEW(app::kClusterRangeDialogId), owner_,
                                         &Procedure, reinterpret_cast<LPARAM>(this));
  if (answer != IDOK) return false;
  start = start_;
  end = end_;
  return true;
}

// The range is taken only when the shared checks pass; otherwise the
// warning is shown, the edit at fault gets the focus and the dialog stays.
bool ClusterRangeDialog::OnOk(HWND dialog) {
  const app::ClusterRangeCheck check = app::CheckClusterRangeTexts(
      EditText(dialog, app::kStartClusterEditId), EditText(dialog, app::kEndClusterEditId), start_, end_);
  if (!check.ok) {
    messages_.Show(check.message, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    SetFocus(GetDlgItem(dialog, check.focusId));
    return false;
  }
  start_ = check.start;
  end_ = check.end;
  return true;
}

INT_PTR CALLBACK ClusterRangeDialog::Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, l);
    auto* self = reinterpret_cast<ClusterRangeDialog*>(l);
    self->messages_.SetOwner(dialog);
    const auto show = [dialog](int id, uint64_t value) {
      SetDlgItemTextW(dialog, id, platform::win32::Wide(app::ClusterNumberText(value)).c_str());
    };
    show(app::kStartClusterEditId, self->start_);
    show(app::kEndClusterEditId, self->end_);
    return TRUE;
  }
  auto* self = reinterpret_cast<ClusterRangeDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !self) return FALSE;
  if (LOWORD(w) == IDOK && self->OnOk(dialog)) EndDialog(dialog, IDOK);
  if (LOWORD(w) == IDCANCEL) EndDialog(dialog, IDCANCEL);
  if (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) self->messages_.SetOwner(self->owner_);
  return TRUE;
}

}  // namespace vellum::win32ui
