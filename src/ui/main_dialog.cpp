#include "ui/main_dialog.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QMenuBar>
#include <QVBoxLayout>

#include "app/control_anchors.h"
#include "app/rate_text.h"
#include "app/window_close.h"
#include "ui/artwork.h"
#include "ui/dialog_font.h"
#include "ui/main_widgets.h"
#include "ui/progress_dialog.h"
#include "ui/result_table.h"
#include "ui/result_table_model.h"

namespace vellum::ui {

MainDialog::MainDialog(volume::DriveTable drives, int32_t selectIndex)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      drives_(std::move(drives)),
      qtMessages_(this),
      qtPaths_(this) {
  setObjectName(QStringLiteral("102"));
  setFont(DialogFont());
  base_ = BaseUnitsOf(font());
  state_.shell = &shell_;
  openUrl_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };
  newProgress_ = [this] {
    auto progress = std::make_unique<GuiProgress>(this);
    progress->SetUnitBytes(app::UnitBytesOf(state_));
    return progress;
  };
  setWindowIcon(ApplicationIcon());
  setWindowTitle(QString::fromUtf8(kMainCaption));

  auto* menuBar = new QMenuBar(this);
  BuildMenu(menuBar);
  auto* frame = new QVBoxLayout(this);
  frame->setContentsMargins(0, 0, 0, 0);
  frame->setSpacing(0);
  frame->setMenuBar(menuBar);
  client_ = new BackgroundArea(this);
  frame->addWidget(client_);
  status_ = new StatusLine(this);
  frame->addWidget(status_);
  connect(status_, &StatusLine::actionClicked, this, &MainDialog::OnThoroughAgain);
  BuildControls();

  // The template's size is the client area's; the menu bar comes on top and
  // the status line below.
  const int around = menuBar->sizeHint().height() + status_->height();
  const QSize clientSize = DluToPixels(QSize(420, 270), base_);
  resize(clientSize.width(), clientSize.height() + around);
  // The controls beside the list keep their size and spread out with the
  // height: below the template's height they would overlap, and the list
  // needs room for a name and a folder.
  const QSize smallest = DluToPixels(QSize(300, 270), base_);
  setMinimumSize(smallest.width(), smallest.height() + around);
  layout()->activate();
  layout_.Record(size(), client_);
  SetAnchors();

  FillDriveBox(selectIndex);
  OnDriveSelected();
}

MainDialog::~MainDialog() {
  // The view and the model talk to list_ and shell_, which go before QWidget
  // would delete its children.
  delete client_;
  client_ = nullptr;
  delete model_;
  model_ = nullptr;
}

void MainDialog::SetMessages(Messages* messages) {
  messages_ = messages ? messages : &qtMessages_;
}

void MainDialog::SetPathAsker(PathAsker* paths) { paths_ = paths ? paths : &qtPaths_; }

void MainDialog::SetAnchors() {
  // The rest (1004, 1011, 1012) keep the scaling they were recorded with.
  for (const app::ControlAnchors& a : app::MainWindowAnchors()) layout_.SetAnchors(a.id, a.horizontal, a.vertical);
}

void MainDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layout_.Apply(size());
  update();
}

void MainDialog::reject() {
  if (busy_) return;
  if (!app::MayCloseWindow(list_, *messages_)) return;
  QDialog::reject();
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (busy_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace vellum::ui
