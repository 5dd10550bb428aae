// The small widgets of the main window that Qt has no exact match for.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
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

// The drive box: an entry too long for the box is shown with its middle left
// out, whole in the tooltip, and the opened list is as wide as its longest
// entry.
class DriveBox : public QComboBox {
 public:
  explicit DriveBox(QWidget* parent);
  // After entries were added: the list's width and the box's tooltip.
  void FitEntries();
  // The selected entry as the closed box shows it.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showPopup() override;

 private:
  void UpdateToolTip();
  int TextRoom() const;
  // `text` in `room` pixels: a long name loses its middle first, so that the
  // file system and size after " — " stay in sight.
  QString Fitted(const QString& text, int room) const;
};

// The line under the list: how the last command ended when the list alone
// does not say it (a cancelled scan, folders left unsearched), and a button
// for what to do about it.
class StatusLine : public QWidget {
  Q_OBJECT

 public:
  explicit StatusLine(QWidget* parent);
  void Show(const QString& text, const QString& action = {});
  void Clear() { Show({}); }
  QString Text() const { return text_->text(); }
  // At the right end: how many rows are selected.
  void ShowSelection(const QString& text) { selection_->setText(text); }

 signals:
  void actionClicked();

 private:
  QLabel* text_;
  QPushButton* action_;
  QLabel* selection_;
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
