// Pictures of the windows for the documentation, written only when
// VELLUM_SCREENSHOT_DIR names a folder (tools/screenshots.sh sets it).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include "support/scripted_messages.h"
#include "ui/cluster_dlg.h"
#include "ui/control_ids.h"
#include "ui/file_size_dialog.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/result_table.h"
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

TEST(Screenshots, Windows) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "VELLUM_SCREENSHOT_DIR not set";
  vellum::testing::ScriptedMessages messages;
  messages.answers = {MessageAnswer::No};
  MainDialog dialog(ImageDrives({std::string(VELLUM_TEST_DATA) + "/sample.img"}), 0);
  dialog.SetMessages(&messages);
  dialog.show();
  QTest::keyClick(Find<QLineEdit>(dialog, kFilterEditId), Qt::Key_Return);
  dialog.Table().selectRow(2);
  Save(dialog, "main-window.png");

  GuiProgress progress(&dialog);
  progress.OpenProgress();
  progress.StartPhase("クラスタ：", 65525);
  progress.ShowFileLabel();
  progress.SetFileName("写真/2013/IMG_0042.JPG");
  progress.Update(24245);
  Save(progress.Dialog(), "progress.png");
  progress.CloseProgress();

  CClusterDlg range(messages, &dialog);
  uint64_t start = 2, end = 65525;
  QTimer::singleShot(0, &range, [&] {
    Save(range, "cluster-range.png");
    range.reject();
  });
  range.RunClusterRangeDialog(start, end);

  FileSizeDialog size(&dialog);
  uint64_t bytes = 123456;
  QTimer::singleShot(0, &size, [&] {
    Save(size, "file-size.png");
    size.reject();
  });
  size.RunFileSizeDialog(bytes);
}

}  // namespace
}  // namespace vellum::ui
