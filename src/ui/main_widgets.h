// The small widgets of the main window that Qt has no exact match for.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPoint>
#include <QValidator>
#include <QWidget>

namespace vellum::ui {

// The light blue of the main window, behind its labels and check boxes.
inline constexpr int kBackgroundRed = 206;
inline constexpr int kBackgroundGreen = 236;
inline constexpr int kBackgroundBlue = 252;

// The main window's client area: painted light blue, and a press on it (not
// on a control) drags the window as its caption would.
class BackgroundArea : public QWidget {
 public:
  explicit BackgroundArea(QWidget* parent);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool dragging_ = false;
  QPoint grabOffset_;  // from the window's corner to the pointer
};

// A check box only as wide as its box: its text supplies the mnemonic, the
// labels beside it the meaning.
class BoxOnlyCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// The logo: a picture that reports clicks.
class LogoLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace vellum::ui

namespace vellum::ui {

// The name filter's edit: letters typed become capitals, as the search
// compares names upper-cased (ASCII letters only, as the name filter does).
class UpperCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& position) const override;
};

}  // namespace vellum::ui
