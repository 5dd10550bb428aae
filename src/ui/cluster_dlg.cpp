#include "ui/cluster_dlg.h"

#include <QLabel>

#include <QPushButton>

#include "app/cluster_range.h"
#include "ui/cursor_scope.h"

namespace vellum::ui {

CClusterDlg::CClusterDlg(Messages& messages, QWidget* parent)
    : SmallDialog(app::kClusterRangeDialogId, parent), messages_(messages) {
  AddLabel(app::kStartClusterLabelId, {26, 32, 39, 8}, FromUtf8(app::kStartClusterLabel));
  start_ = AddNumberEdit(app::kStartClusterEditId, {72, 30, 40, 14});
  AddLabel(app::kEndClusterLabelId, {119, 32, 39, 8}, FromUtf8(app::kEndClusterLabel));
  end_ = AddNumberEdit(app::kEndClusterEditId, {165, 30, 40, 14});
  // Which numbers the boxes take: the volume's first and last cluster.
  AddLabel(kClusterLimitsLabelId, {26, 48, 179, 8}, {});
  limits_ = findChild<QLabel*>(QString::number(kClusterLimitsLabelId));
  connect(ok(), &QPushButton::clicked, this, &CClusterDlg::OnOk);
}

bool CClusterDlg::RunClusterRangeDialog(uint64_t& start, uint64_t& end) {
  limitStart_ = start;
  limitEnd_ = end;
  limits_->setText(QStringLiteral("このボリュームのクラスタ： %1 ～ %2")
                       .arg(FromUtf8(app::ClusterNumberText(start)), FromUtf8(app::ClusterNumberText(end))));
  start_->setText(FromUtf8(app::ClusterNumberText(start)));
  end_->setText(FromUtf8(app::ClusterNumberText(end)));
  start_->setFocus();
  const NormalCursorWhileAsking normalCursor;
  if (exec() != QDialog::Accepted) return false;
  start = chosenStart_;
  end = chosenEnd_;
  return true;
}

void CClusterDlg::OnOk() {
  const app::ClusterRangeCheck check = app::CheckClusterRangeTexts(
      ToUtf8(start_->text()), ToUtf8(end_->text()), limitStart_, limitEnd_);
  if (!check.ok) {
    messages_.Show(check.message, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    QLineEdit* edit = check.focusId == app::kStartClusterEditId ? start_ : end_;
    edit->setFocus();
    edit->selectAll();
    return;
  }
  chosenStart_ = check.start;
  chosenEnd_ = check.end;
  accept();
}

}  // namespace vellum::ui
