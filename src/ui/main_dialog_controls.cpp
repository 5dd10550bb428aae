// Building the main window: its controls at their dialog-unit rectangles,
// the menu, and the drive box's entries.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include "app/result_list.h"
#include "app/window_start.h"
#include "ui/artwork.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/main_widgets.h"
#include "ui/picture_button.h"
#include "ui/result_table.h"
#include "ui/result_table_model.h"
#include "ui/text.h"

namespace vellum::ui {

void MainDialog::Place(QWidget* widget, int id, const QRect& dlu) {
  widget->setObjectName(QString::number(id));
  widget->setGeometry(DluToPixels(dlu, base_));
  controls_.insert(id, widget);
}

void MainDialog::AddLabel(int id, const QRect& dlu, const QString& text, Qt::Alignment align) {
  auto* label = new QLabel(text, client_);
  label->setAlignment(align | Qt::AlignTop);
  Place(label, id, dlu);
}

void MainDialog::AddCheckBox(int id, const QRect& dlu, const QString& text) {
  auto* box = new BoxOnlyCheckBox(text, client_);
  // Every box is a tab stop (the template makes only the analyse box one):
  // a person at the keyboard reaches (U) and (Z) too.
  box->setFocusPolicy(Qt::StrongFocus);
  Place(box, id, dlu);
}

void MainDialog::AddPictureButton(int id, const QRect& dlu, const QString& bitmap,
                                  const QString& text) {
  auto* button = new PictureButton(bitmap, text, client_);
  if (!button->IsLoaded()) qFatal("picture button bitmap %s is missing", qPrintable(bitmap));
  // Each button is as large as its bitmap; the template gives its place.
  const QRect at = DluToPixels(dlu, base_);
  Place(button, id, QRect());
  button->setGeometry(at.x(), at.y(), kButtonBitmapWidth, kButtonBitmapHeight);
}

void MainDialog::AddHiddenButton(int id, const QRect& dlu, const QString& text) {
  auto* button = new QPushButton(text, client_);
  button->setAutoDefault(false);
  button->hide();
  button->setEnabled(false);
  Place(button, id, dlu);
}

void MainDialog::BuildControls() {
  AddLabel(kDriveLabelId, {338, 8, 32, 8}, QStringLiteral("ドライブ(&D)"), Qt::AlignHCenter);
  driveBox_ = new DriveBox(client_);
  Place(driveBox_, kDriveBoxControlId, {297, 17, 115, 66});
  // 66 units is the height with the list dropped down; closed, the box is
  // as high as the style makes it.
  const int dropped = DluToPixels(QRect(0, 0, 0, 66), base_).height();
  driveBox_->resize(driveBox_->width(), driveBox_->sizeHint().height());
  driveBox_->setMaxVisibleItems(qMax(1, (dropped - driveBox_->height()) / fontMetrics().height()));
  AddLabel(kFilterLabelId, {297, 36, 115, 8}, QStringLiteral("ファイル名に含まれる文字列(&T)"),
           Qt::AlignHCenter);
  filterEdit_ = new QLineEdit(client_);
  filterEdit_->setValidator(new UpperCaseValidator(filterEdit_));
  Place(filterEdit_, kFilterEditId, {297, 45, 115, 15});
  static_cast<QLabel*>(Control(kDriveLabelId))->setBuddy(driveBox_);
  static_cast<QLabel*>(Control(kFilterLabelId))->setBuddy(filterEdit_);

  AddPictureButton(kSearchButtonId, {319, 67, 71, 16}, QStringLiteral("SEARCH"),
                   QStringLiteral("削除ファイル検索(&S)"));
  static_cast<QPushButton*>(Control(kSearchButtonId))->setDefault(true);
  connect(static_cast<QPushButton*>(Control(kSearchButtonId)), &QPushButton::clicked, this,
          &MainDialog::OnSearch);

  model_ = new ResultTableModel(list_, shell_, this);
  table_ = new ResultTable(*model_, client_);
  Place(table_, kListId, {7, 7, 281, 256});

  AddCheckBox(kInUseCheckId, {307, 93, 8, 8}, QStringLiteral("&U"));
  AddLabel(kInUseLine1Id, {316, 88, 88, 8}, QStringLiteral("クラスタが既に使用されている"), {});
  AddLabel(kInUseLine2Id, {316, 98, 62, 10}, QStringLiteral("ファイルも表示(U)"), {});
  AddLabel(kZeroSizeLine1Id, {316, 114, 76, 8}, QStringLiteral("サイズがゼロのファイルも"), {});
  AddLabel(kZeroSizeLine2Id, {316, 124, 23, 8}, QStringLiteral("表示(Z)"), {});
  AddCheckBox(kZeroSizeCheckId, {307, 119, 8, 8}, QStringLiteral("&Z"));
  AddLabel(kAnalyseLabelId, {316, 137, 86, 8}, QStringLiteral("ファイルの中身を解析する(A)"), {});
  AddCheckBox(kAnalyseCheckId, {307, 137, 8, 10}, QStringLiteral("&A"));

  AddLabel(kCountLabelId, {340, 149, 31, 8}, QStringLiteral("ファイル数"), Qt::AlignHCenter);
  AddLabel(kFoundCountId, {337, 158, 36, 13}, {}, Qt::AlignRight);
  auto* counter = static_cast<QLabel*>(Control(kFoundCountId));
  counter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  counter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  counter->setLineWidth(1);

  AddPictureButton(kRestoreButtonId, {320, 178, 71, 16}, QStringLiteral("RESTORE"),
                   QStringLiteral("コピーして復元(&C)"));
  connect(static_cast<QPushButton*>(Control(kRestoreButtonId)), &QPushButton::clicked, this,
          &MainDialog::OnRestore);
  AddPictureButton(kExitButtonId, {320, 198, 71, 16}, QStringLiteral("CLOSE"),
                   QStringLiteral("終了(&X)"));
  connect(static_cast<QPushButton*>(Control(kExitButtonId)), &QPushButton::clicked, this,
          &MainDialog::OnExit);

  AddLabel(kClearingNoticeId, {2, 130, 298, 20}, FromUtf8(app::kClearingNotice), Qt::AlignHCenter);
  auto* notice = static_cast<QLabel*>(Control(kClearingNoticeId));
  notice->setAutoFillBackground(true);  // it lies across the list
  notice->hide();
  AddHiddenButton(kFullScanButtonId, {309, 154, 18, 8}, QStringLiteral("完全クラスタスキャン(&A)"));
  AddHiddenButton(kDeleteButtonId, {309, 168, 18, 8}, QStringLiteral("完全削除(&D)"));
  // Hidden and disabled, they issue the same commands as their menu items
  // should anything ever show them.
  connect(static_cast<QPushButton*>(Control(kFullScanButtonId)), &QPushButton::clicked, this, &MainDialog::OnFullScan);
  connect(static_cast<QPushButton*>(Control(kDeleteButtonId)), &QPushButton::clicked, this,
          &MainDialog::OnCompleteDeletion);

  auto* logo = new LogoLabel(client_);
  logo->setPixmap(LogoBitmap());
  logo->setCursor(Qt::PointingHandCursor);
  Place(logo, kLogoId, {339, 221, 13, 14});
  logo->resize(kLogoWidth, kLogoHeight);  // a picture label takes its bitmap's size
  connect(logo, &LogoLabel::clicked, this, &MainDialog::OnMakerPage);

  // The option fields into the controls, once.
  filterEdit_->setText(filter_);
  static_cast<QCheckBox*>(Control(kInUseCheckId))->setChecked(inUse_ != 0);
  static_cast<QCheckBox*>(Control(kZeroSizeCheckId))->setChecked(zeroSize_ != 0);
  static_cast<QCheckBox*>(Control(kAnalyseCheckId))->setChecked(analyse_ != 0);

  connect(model_, &ResultTableModel::clearing, this, [this] { ShowClearingNotice(true); });
  connect(model_, &ResultTableModel::cleared, this, [this] { ShowClearingNotice(false); });
  connect(model_, &ResultTableModel::foundCountChanged, counter, &QLabel::setText);
  connect(model_, &ResultTableModel::listSelectionChanged, this, &MainDialog::ShowSelectionCount);
  connect(model_, &ResultTableModel::cleared, this, &MainDialog::ShowSelectionCount);
  connect(model_, &QAbstractItemModel::modelReset, this, &MainDialog::ShowSelectionCount);
}

void MainDialog::AddMenuCommand(QMenu* menu, int id, const QString& text,
                                void (MainDialog::*handler)()) {
  QAction* action = menu->addAction(text);
  action->setObjectName(QString::number(id));
  commands_.insert(id, action);
  if (handler) connect(action, &QAction::triggered, this, handler);
}

void MainDialog::BuildMenu(QMenuBar* menuBar) {
  QMenu* menu = menuBar->addMenu(QStringLiteral("その他の処理(&O)"));
  menu->setToolTipsVisible(true);
  AddMenuCommand(menu, kOpenImageCommand, QStringLiteral("イメージファイルを開く(&I)..."),
                 &MainDialog::OnOpenImage);
  AddMenuCommand(menu, kBiosDiskCommand, QStringLiteral("BIOS ディスクとして開く(&B)..."), &MainDialog::OnAddBiosDisk);
  commands_.value(kBiosDiskCommand)->setToolTip(
      QStringLiteral("ディスク全体のイメージを BIOS のディスクとし、すべてのドライブを BIOS 経由で読みます。"));
  AddMenuCommand(menu, kLoadMapCommand, QStringLiteral("マップファイルを読み込む(&M)..."), &MainDialog::OnLoadMap);
  commands_.value(kLoadMapCommand)->setToolTip(QStringLiteral(
      "選んだイメージを ddrescue で救出したときのマップファイルを読み込み、救出されていない部分を読めないセクタとして扱います。"));
  menu->addSeparator();
  AddMenuCommand(menu, kSaveResultsCommand, QStringLiteral("検索結果の保存(&S)"),
                 &MainDialog::OnSaveResults);
  AddMenuCommand(menu, kLoadResultsCommand, QStringLiteral("検索結果の読込み(&L)"),
                 &MainDialog::OnLoadResults);
  menu->addSeparator();
  AddMenuCommand(menu, kFullScanCommand, QStringLiteral("完全クラスタスキャン(&A)"), &MainDialog::OnFullScan);
  AddMenuCommand(menu, kThoroughCommand, QStringLiteral("徹底検索(&T)"), nullptr);
  QAction* thorough = commands_.value(kThoroughCommand);
  thorough->setCheckable(true);
  thorough->setChecked(thorough_ != 0);
  thorough->setToolTip(QStringLiteral("使用中のフォルダの中や、削除されたフォルダの２クラスタ目以降、空きクラスタに残ったフォルダの中身も検索します。"));
  connect(thorough, &QAction::toggled, this, [this](bool on) { thorough_ = on ? 1 : 0; });
  menu->addSeparator();
  AddMenuCommand(menu, kDeleteCommand, QStringLiteral("完全削除(&D)"), &MainDialog::OnCompleteDeletion);
  menu->addSeparator();
  AddMenuCommand(menu, kMakerPageCommand, QStringLiteral("オルバンデル(&H)"),
                 &MainDialog::OnMakerPage);
}

namespace {

QIcon DriveIcon(const volume::DriveEntry& entry) {
  QStyle* style = QApplication::style();
  if (entry.driveType == volume::kDriveRemovable)
    return QIcon::fromTheme(QStringLiteral("drive-removable-media"), style->standardIcon(QStyle::SP_DriveFDIcon));
  return QIcon::fromTheme(QStringLiteral("drive-harddisk"), style->standardIcon(QStyle::SP_DriveHDIcon));
}

}  // namespace

void MainDialog::AddDriveItem(const volume::DriveEntry& entry) {
  driveBox_->addItem(DriveIcon(entry), FromUtf8(entry.displayName));
  driveBox_->setItemData(driveBox_->count() - 1, FromUtf8(entry.sourcePath), Qt::ToolTipRole);
}

void MainDialog::AddBiosUnits(const std::vector<std::string>& disks) {
  for (const std::string& reason : app::AddWindowBiosUnits(legacy_, disks))
    messages_->Show(reason, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
  app::UseLegacyPath(legacy_, drives_, state_);
  for (size_t i = 0; i < drives_.entries.size() && static_cast<int>(i) < driveBox_->count(); ++i)
    driveBox_->setItemIcon(static_cast<int>(i), DriveIcon(drives_.entries[i]));
  // The legacy path never turns the in-use option off: the state it starts in.
  SetInUseEnabled(true);
}

void MainDialog::FillDriveBox(int32_t selectIndex) {
  {
    const QSignalBlocker quiet(driveBox_);
    for (const volume::DriveEntry& entry : drives_.entries) AddDriveItem(entry);
    driveBox_->setCurrentIndex(selectIndex >= 0 ? selectIndex : drives_.defaultIndex);
  }
  driveBox_->FitEntries();
  connect(driveBox_, &QComboBox::currentIndexChanged, this, &MainDialog::OnDriveSelected);
}

}  // namespace vellum::ui
