// A push button that shows a bitmap instead of drawing itself: the resting
// bitmap normally, the pressed one while pressed or focused, and a raised
// edge while the mouse is over it.
#pragma once

#include <QPixmap>
#include <QPushButton>

namespace vellum::ui {

class PictureButton : public QPushButton {
 public:
  // `bitmapBase` "SEARCH" takes "SEARCH1" and "SEARCH2". The text supplies the
  // keyboard mnemonic and the accessible name; the bitmap shows it.
  PictureButton(const QString& bitmapBase, const QString& text, QWidget* parent);

  bool IsLoaded() const { return !normal_.isNull() && !pressed_.isNull(); }
  bool HoverEdgeShown() const { return hover_; }
  QSize sizeHint() const override { return normal_.size(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPixmap normal_;
  QPixmap pressed_;
  bool hover_ = false;
};

}  // namespace vellum::ui
