// Pictures of the windows for the documentation, written only when
// VELLUM_SCREENSHOT_DIR names a folder (tools/screenshots.sh sets it).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>

#include "app/cluster_range.h"
#include "support/scripted_messages.h"
#include "ui/cluster_dlg.h"
#include "ui/control_ids.h"
#include "ui/file_size_dialog.h"
#include "ui/main_dialog.h"
#include "ui/path_asker.h"
#include "ui/progress_dialog.h"
#include "ui/qt_messages.h"
#include "ui/qt_translations.h"
#include "ui/result_table.h"
#include "person.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

QString ShotDir() { return qEnvironmentVariable("VELLUM_SCREENSHOT_DIR"); }

void Save(QWidget& widget, const char* name) {
  QCoreApplication::processEvents();
  const QString path = QDir(ShotDir()).filePath(QString::fromLatin1(name));
  EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

// Grabs the modal window Qt shows next, once it is up, and closes it.
void SaveNextModal(const char* name) {
  QTimer::singleShot(200, [name] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr) << name;
    Save(*modal, name);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::No)->click();
    else static_cast<QDialog*>(modal)->reject();
  });
}

TEST(Screenshots, Windows) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "VELLUM_SCREENSHOT_DIR not set";
  const auto qtTexts = InstallQtTranslations();  // as the program starts
  vellum::testing::ScriptedMessages messages;
  messages.answers = {MessageAnswer::No};
  MainDialog dialog(ImageDrives({std::string(VELLUM_TEST_DATA) + "/sample.img"}), 0);
  dialog.SetMessages(&messages);
  dialog.show();
  QTest::keyClick(Find<QLineEdit>(dialog, kFilterEditId), Qt::Key_Return);
  dialog.Table().selectRow(2);
  Save(dialog, "main-window.png");

  MainDialog exfat(ImageDrives({Image("exfat.img")}), 0);
  exfat.SetMessages(&messages);
  exfat.show();
  messages.answers = {MessageAnswer::No};
  exfat.OnSearch();
  exfat.Table().selectRow(1);
  Save(exfat, "main-window-exfat.png");

  QtMessages boxes(&dialog);
  SaveNextModal("question.png");
  boxes.Show("空きクラスタをスキャンしますか。", MessageButtons::YesNo, MessageIcon::None, MessageAnswer::No);
  // The dialog opens in the current folder: one that looks like a user's.
  QTemporaryDir folder;
  for (const char* name : {"card.img", "found.txt"})
    QFile(folder.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
  const QString before = QDir::currentPath();
  QDir::setCurrent(folder.path());
  QtPathAsker paths(&dialog);
  SaveNextModal("file-dialog.png");
  paths.AskSavePath("結果");
  QDir::setCurrent(before);

  GuiProgress progress(&dialog);
  progress.OpenProgress();
  progress.StartPhase("クラスタ：", 65525);
  progress.ShowFileLabel();
  progress.SetFileName("写真/2013/IMG_0042.JPG");
  progress.Update(24245);
  Save(progress.Dialog(), "progress.png");
  progress.CloseProgress();

  FileSizeDialog size(&dialog);
  uint64_t bytes = 123456;
  QTimer::singleShot(0, &size, [&] {
    Save(size, "file-size.png");
    size.reject();
  });
  size.RunFileSizeDialog(bytes);
}

// The pictures of a person's restore of one row, the window at its smallest,
// the drive list, the exFAT line under the list and the range dialog.
TEST(Screenshots, PersonAtTheWindow) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "VELLUM_SCREENSHOT_DIR not set";
  const auto qtTexts = InstallQtTranslations();
  MainDialog dialog(ImageDrives({std::string(VELLUM_TEST_DATA) + "/sample.img"}), 0);
  Person person(dialog);
  dialog.show();
  // Images opened from the menu are named with their file system, size and label.
  for (const char* image : {"exfat.img", "disk-mbr.img"}) {
    person.WillChoosePath(QString::fromStdString(Image(image)));
    person.Choose(kOpenImageCommand);
  }
  auto* box = static_cast<QComboBox*>(dialog.Control(kDriveBoxControlId));
  box->setCurrentIndex(0);
  person.WillAnswer(QMessageBox::No);
  person.Click(kSearchButtonId);
  person.ClickRow(2);
  Save(dialog, "one-row-selected.png");
  QTemporaryDir to;
  person.WillChoosePath(to.path());
  person.Will({QStringLiteral("summary"), [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
               [](QWidget* w) {
                 Save(*w, "restore-summary.png");
                 static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
               }});
  person.Click(kRestoreButtonId);

  box->setCurrentIndex(2);
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([box] { return box->view()->isVisible(); }, 2000));
  Save(*box->view()->window(), "drive-popup.png");
  box->hidePopup();

  Save(dialog, "drive-box.png");
  const QSize normal = dialog.size();
  dialog.resize(dialog.minimumSize());
  Save(dialog, "minimum-size.png");
  dialog.resize(normal);

  box->setCurrentIndex(1);  // exFAT
  person.WillAnswer(QMessageBox::No);
  person.Click(kSearchButtonId);
  Save(dialog, "exfat-hint.png");

  person.WillAnswer(QMessageBox::Yes);
  person.Will({QStringLiteral("range"),
               [](QWidget* w) { return w->objectName() == QString::number(app::kClusterRangeDialogId); },
               [](QWidget* w) {
                 Save(*w, "cluster-range.png");
                 static_cast<QDialog*>(w)->reject();
               }});
  person.Choose(kFullScanCommand);
}

}  // namespace
}  // namespace vellum::ui
