// Lets the user correct the size of a file found by its contents before it is
// copied out (template 137). Its restore command arrives later; the dialog is
// ready for it.
#pragma once

#include <cstdint>

#include "ui/small_dialog.h"

namespace vellum::ui {

inline constexpr int kFileSizeDialogId = 137;
inline constexpr int kFileSizeNoteId = 1026;
inline constexpr int kFileSizeLabelId = 1029;
inline constexpr int kFileSizeEditId = 1025;
inline constexpr int kFileSizeUnitId = 1030;

class FileSizeDialog : public SmallDialog {
 public:
  explicit FileSizeDialog(QWidget* parent);

  // Shows `size`; on OK it holds what the edit says, on Cancel it is unchanged.
  bool RunFileSizeDialog(uint64_t& size);

  QLineEdit* SizeEdit() const { return edit_; }

 private:
  QLineEdit* edit_ = nullptr;
};

}  // namespace vellum::ui
