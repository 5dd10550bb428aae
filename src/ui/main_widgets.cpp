#include "ui/main_widgets.h"

#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWindow>

namespace vellum::ui {

BackgroundArea::BackgroundArea(QWidget* parent) : QWidget(parent) {
  QPalette blue = palette();
  blue.setColor(QPalette::Window, QColor(kBackgroundRed, kBackgroundGreen, kBackgroundBlue));
  setPalette(blue);
  setAutoFillBackground(true);
}

void BackgroundArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  QWindow* handle = window()->windowHandle();
  // The window manager moves the window when it can; where it cannot (no
  // window manager, offscreen), we follow the pointer ourselves.
  if (handle && handle->startSystemMove()) return;
  dragging_ = true;
  grabOffset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void BackgroundArea::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  window()->move(event->globalPosition().toPoint() - grabOffset_);
}

void BackgroundArea::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void BoxOnlyCheckBox::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
  QRect target(QPoint(0, 0), box.size().boundedTo(size()));
  target.moveCenter(rect().center());
  option.rect = target;
  p.drawPrimitive(QStyle::PE_IndicatorCheckBox, option);
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect();
    p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

void LogoLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
  QLabel::mouseReleaseEvent(event);
}

}  // namespace vellum::ui

namespace vellum::ui {

QValidator::State UpperCaseValidator::validate(QString& input, int&) const {
  for (QChar& c : input)
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
  return Acceptable;
}

}  // namespace vellum::ui
