#include "ui/main_widgets.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QStyleOptionComboBox>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWindow>

namespace vellum::ui {

DriveBox::DriveBox(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::currentIndexChanged, this, [this] { UpdateToolTip(); });
}

void DriveBox::FitEntries() {
  int widest = 0;
  for (int i = 0; i < count(); ++i) widest = qMax(widest, fontMetrics().horizontalAdvance(itemText(i)));
  // Icon, its gap, the frame and a scroll bar beside the text.
  const int extra = iconSize().width() + 8 + 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                    style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16;
  view()->setMinimumWidth(qMax(width(), widest + extra));
  UpdateToolTip();
}

void DriveBox::UpdateToolTip() {
  const int index = currentIndex();
  if (index < 0) {
    setToolTip({});
    return;
  }
  const QString source = itemData(index, Qt::ToolTipRole).toString();
  setToolTip(source.isEmpty() || source == itemText(index) ? itemText(index) : itemText(index) + "\n" + source);
}

void DriveBox::showPopup() {
  FitEntries();
  QComboBox::showPopup();
}

int DriveBox::TextRoom() const {
  QStyleOptionComboBox option;
  initStyleOption(&option);
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  return qMax(0, field.width() - (option.currentIcon.isNull() ? 0 : option.iconSize.width() + 4));
}

QString DriveBox::Fitted(const QString& text, int room) const {
  const QFontMetrics metrics = fontMetrics();
  const QString dash = QStringLiteral(" — ");
  const int at = text.indexOf(dash);
  if (at < 0 || metrics.horizontalAdvance(text) <= room) return metrics.elidedText(text, Qt::ElideMiddle, room);
  // The facts begin with the file system and the size, which stay whole; a
  // label after them gives way before the name shrinks past a few letters.
  static const QRegularExpression kSize(QStringLiteral("\\d+(\\.\\d+)? [KMGTP]?B"));
  const QString facts = text.mid(at);
  const QRegularExpressionMatch size = kSize.match(facts);
  const QString essential = size.hasMatch() ? facts.left(size.capturedEnd()) : facts;
  const QString label = facts.mid(essential.size());
  const int left = room - metrics.horizontalAdvance(essential);
  if (left <= 0) return metrics.elidedText(text.mid(at + dash.size()), Qt::ElideRight, room);
  const int fewLetters = metrics.horizontalAdvance(QStringLiteral("MMMMM"));
  const int nameRoom = qMin(left, qMax(fewLetters, left - metrics.horizontalAdvance(label)));
  const QString name = metrics.elidedText(text.left(at), Qt::ElideMiddle, nameRoom);
  return name + essential + metrics.elidedText(label, Qt::ElideRight, qMax(0, left - metrics.horizontalAdvance(name)));
}

QString DriveBox::ShownText() const { return Fitted(currentText(), TextRoom()); }

void DriveBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  option.currentText = Fitted(option.currentText, TextRoom());
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

StatusLine::StatusLine(QWidget* parent)
    : QWidget(parent), text_(new QLabel(this)), action_(new QPushButton(this)), selection_(new QLabel(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 2, 6, 2);
  text_->setObjectName(QStringLiteral("statusText"));
  text_->setTextFormat(Qt::PlainText);
  action_->setObjectName(QStringLiteral("statusAction"));
  action_->setAutoDefault(false);
  action_->hide();
  selection_->setObjectName(QStringLiteral("statusSelection"));
  selection_->setTextFormat(Qt::PlainText);
  row->addWidget(text_, 1);
  row->addWidget(action_);
  row->addWidget(selection_);
  setFixedHeight(qMax(text_->sizeHint().height(), action_->sizeHint().height()) + 4);
  connect(action_, &QPushButton::clicked, this, &StatusLine::actionClicked);
}

void StatusLine::Show(const QString& text, const QString& action) {
  text_->setText(text);
  action_->setText(action);
  action_->setVisible(!action.isEmpty());
}

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
