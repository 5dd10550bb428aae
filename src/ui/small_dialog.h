// Pieces shared by the two small number dialogs (templates 137 and 138):
// 233 x 95 dialog units in the small dialog font, caption "Vellum", OK and
// "キャンセル" along the bottom.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <string_view>

#include "ui/text.h"

class QPushButton;

namespace vellum::ui {

class SmallDialog : public QDialog {
 public:
  explicit SmallDialog(int templateId, QWidget* parent);

 protected:
  void AddLabel(int id, const QRect& dlu, const QString& text);
  // An edit that takes digits only and scrolls sideways when they do not fit.
  QLineEdit* AddNumberEdit(int id, const QRect& dlu);
  QPushButton* ok() const { return ok_; }

 private:
  QPushButton* ok_ = nullptr;
};

}  // namespace vellum::ui
