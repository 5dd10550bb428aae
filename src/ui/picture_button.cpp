#include "ui/picture_button.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

#include "ui/artwork.h"

namespace vellum::ui {

PictureButton::PictureButton(const QString& bitmapBase, const QString& text, QWidget* parent)
    : QPushButton(text, parent),
      normal_(ButtonBitmap(bitmapBase + QLatin1Char('1'))),
      pressed_(ButtonBitmap(bitmapBase + QLatin1Char('2'))) {
  setFlat(true);
  resize(kButtonBitmapWidth, kButtonBitmapHeight);
}

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const bool down = isDown() || isChecked() || hasFocus();
  p.drawPixmap(0, 0, down ? pressed_ : normal_);
  if (!isEnabled()) {
    // There is no disabled bitmap; a veil in the window's own colour says the
    // button does nothing yet.
    QColor veil = palette().color(QPalette::Window);
    veil.setAlpha(150);
    p.fillRect(rect(), veil);
  }
  if (hover_ && isEnabled())
    qDrawShadePanel(&p, QRect(0, 0, kButtonBitmapWidth, kButtonBitmapHeight), palette(), false, 1);
}

void PictureButton::enterEvent(QEnterEvent* event) {
  hover_ = true;
  update();
  QPushButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QPushButton::leaveEvent(event);
}

}  // namespace vellum::ui
