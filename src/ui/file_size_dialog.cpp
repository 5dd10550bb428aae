#include "ui/file_size_dialog.h"

#include <QPushButton>

#include "app/cluster_range.h"
#include "app/parse_number.h"

namespace vellum::ui {

FileSizeDialog::FileSizeDialog(QWidget* parent) : SmallDialog(kFileSizeDialogId, parent) {
  AddLabel(kFileSizeNoteId, {26, 15, 180, 8},
           QStringLiteral("ファイルサイズが間違っている場合に限り訂正してください。"));
  AddLabel(kFileSizeLabelId, {55, 40, 43, 8}, QStringLiteral("ファイルサイズ"));
  edit_ = AddNumberEdit(kFileSizeEditId, {108, 36, 40, 14});
  AddLabel(kFileSizeUnitId, {158, 40, 19, 8}, QStringLiteral("バイト"));
  connect(ok(), &QPushButton::clicked, this, &QDialog::accept);
}

bool FileSizeDialog::RunFileSizeDialog(uint64_t& size) {
  edit_->setText(FromUtf8(app::ClusterNumberText(size)));
  edit_->setFocus();
  edit_->selectAll();
  if (exec() != QDialog::Accepted) return false;
  size = app::ParseUnsigned64(ToUtf8(edit_->text()));
  return true;
}

}  // namespace vellum::ui
