#include "ui/small_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "app/progress_model.h"
#include "ui/dialog_font.h"
#include "ui/dialog_units.h"

namespace vellum::ui {

SmallDialog::SmallDialog(int templateId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QString::number(templateId));
  setFont(SmallDialogFont());
  setWindowTitle(FromUtf8(app::kProgressTitle));
  const DialogBaseUnits base = BaseUnitsOf(font());
  setFixedSize(DluToPixels(QSize(233, 95), base));

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(QStringLiteral("1"));
  ok_->setGeometry(DluToPixels(QRect(51, 63, 50, 14), base));
  ok_->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("2"));
  cancel->setGeometry(DluToPixels(QRect(132, 63, 50, 14), base));
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SmallDialog::AddLabel(int id, const QRect& dlu, const QString& text) {
  auto* label = new QLabel(text, this);
  label->setObjectName(QString::number(id));
  label->setGeometry(DluToPixels(dlu, BaseUnitsOf(font())));
}

QLineEdit* SmallDialog::AddNumberEdit(int id, const QRect& dlu) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::number(id));
  edit->setGeometry(DluToPixels(dlu, BaseUnitsOf(font())));
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  return edit;
}

}  // namespace vellum::ui
