#include "win32ui/file_size_dialog.h"

#include "app/cluster_range.h"
#include "app/main_control_ids.h"
#include "app/parse_number.h"
#include "platform/win32/wide.h"

namespace vellum::win32ui {

bool FileSizeDialog::RunFileSizeDialog(uint64_t& size) {
  size_ = size;
  const INT_PTR answer = DialogBoxParamW(instance_, MAKEINTRESOURCEW(app::kFileSizeDialogId), owner_, &Procedure,
                                         reinterpret_cast<LPARAM>(this));
  if (answer != IDOK) return false;
  size = size_;
  return true;
}

INT_PTR CALLBACK FileSizeDialog::Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, l);
    auto* self = reinterpret_cast<FileSizeDialog*>(l);
    SetDlgItemTextW(dialog, app::kFileSizeEditId, platform::win32::Wide(app::ClusterNumberText(self->size_)).c_str());
    const HWND edit = GetDlgItem(dialog, app::kFileSizeEditId);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    return FALSE;  // the focus is set
  }
  auto* self = reinterpret_cast<FileSizeDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !self) return FALSE;
  if (LOWORD(w) == IDOK) {
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, app::kFileSizeEditId, text, 64);
    self->size_ = app::ParseUnsigned64(platform::win32::Utf8(text));
    EndDialog(dialog, IDOK);
  }
  if (LOWORD(w) == IDCANCEL) EndDialog(dialog, IDCANCEL);
  return TRUE;
}

}  // namespace vellum::win32ui
