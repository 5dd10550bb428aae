#include "ui/progress_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>

#include "ui/dialog_font.h"
#include "ui/dialog_units.h"
#include "ui/text.h"

namespace vellum::ui {

ProgressDialog::ProgressDialog(QWidget* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      owner_(owner) {
  // No parent: disabling the owner must not disable this window with it.
  setObjectName(QString::number(app::kProgressDialogId));
  setFont(DialogFont());
  setModal(false);
  const DialogBaseUnits base = BaseUnitsOf(font());
  setFixedSize(DluToPixels(QSize(187, 83), base));

  AddLabel(app::kFileLabelId, {14, 7, 37, 8}, FromUtf8(app::kFileLabelText));
  labels_[app::kFileLabelId]->hide();
  AddLabel(app::kFileNameId, {55, 7, 122, 8}, {});
  AddLabel(app::kCounterCaptionId, {14, 19, 37, 8}, {});
  AddLabel(app::kCounterTextId, {55, 19, 122, 8}, {});
  AddLabel(app::kPercentId, {85, 31, 18, 8}, FromUtf8(app::kInitialPercentText));
  // Either side of the percentage: how fast, and how long is left.
  AddLabel(app::kSpeedId, {14, 31, 68, 8}, {});
  AddLabel(app::kTimeLeftId, {106, 31, 71, 8}, {});
  labels_[app::kTimeLeftId]->setAlignment(Qt::AlignRight | Qt::AlignTop);

  bar_ = new QProgressBar(this);
  bar_->setObjectName(QString::number(app::kProgressBarId));
  bar_->setGeometry(DluToPixels(QRect(15, 42, 154, 13), base));
  bar_->setRange(app::kBarLow, app::kBarHigh);
  bar_->setValue(app::kBarLow);
  bar_->setTextVisible(false);

  cancel_ = new QPushButton(FromUtf8(app::kProgressCancelText), this);
  cancel_->setObjectName(QString::number(app::kProgressCancelId));
  cancel_->setGeometry(DluToPixels(QRect(67, 62, 50, 14), base));
  cancel_->setDefault(true);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
}

void ProgressDialog::AddLabel(int id, const QRect& dlu, const QString& text) {
  auto* label = new QLabel(text, this);
  label->setObjectName(QString::number(id));
  label->setGeometry(DluToPixels(dlu, BaseUnitsOf(font())));
  label->setTextFormat(Qt::PlainText);
  labels_.insert(id, label);
}

bool ProgressDialog::Create(std::string_view title) {
  setWindowTitle(FromUtf8(title));
  winId();  // a native window now, so it can be tied to its owner
  if (owner_ && owner_->window()->windowHandle() && windowHandle())
    windowHandle()->setTransientParent(owner_->window()->windowHandle());
  show();
  cancel_->setFocus();
  return isVisible();
}

void ProgressDialog::Destroy() { hide(); }

void ProgressDialog::SetLabelText(int id, std::string_view text) {
  if (QLabel* label = Label(id)) label->setText(FromUtf8(text));
}

void ProgressDialog::SetLabelVisible(int id, bool visible) {
  if (QLabel* label = Label(id)) label->setVisible(visible);
  repaint();
}

void ProgressDialog::SetBarPosition(int position) { bar_->setValue(position); }

bool ProgressDialog::PumpEvents() {
  if (!sincePump_.isValid() || sincePump_.elapsed() >= kPumpIntervalMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    sincePump_.restart();
  }
  const bool cancel = cancelRequested_;
  cancelRequested_ = false;
  return cancel;
}

bool ProgressDialog::IsOwnerEnabled() { return owner_ && owner_->isEnabled(); }

void ProgressDialog::SetOwnerEnabled(bool enabled) {
  if (owner_) owner_->setEnabled(enabled);
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
  // The close box cancels like the button; the walk closes the window.
  cancelRequested_ = true;
  event->ignore();
}

}  // namespace vellum::ui
