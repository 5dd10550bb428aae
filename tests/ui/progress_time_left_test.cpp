// The progress window of a long scan tells how long it has left.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "app/progress_model.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "person.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

QWidget* ProgressWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->objectName() == QString::number(app::kProgressDialogId)) return w;
  return nullptr;
}

QString ProgressLabel(int id) {
  QWidget* w = ProgressWindow();
  auto* label = w ? w->findChild<QLabel*>(QString::number(id)) : nullptr;
  return label ? label->text() : QString();
}

// A full cluster scan of an 8 GiB card: once it has run a while its window
// tells the time left beside the percentage, and how fast it reads. The card
// is sparse and its holes read fast; on a quiet machine a 2 GiB one was
// scanned through before the first time left was due.
TEST(ProgressTimeLeft, TheScansProgressWindowTellsTheTimeLeft) {
  QTemporaryDir work;
  const QString card = work.filePath(QStringLiteral("card.img"));
  QProcess make;
  make.start(QStringLiteral("bash"), {QStringLiteral(VELLUM_TEST_DATA "/../ui/scan_card.sh"), card,
                                      QStringLiteral(VELLUM_CLI), QStringLiteral("8G")});
  ASSERT_TRUE(make.waitForFinished(60000));
  if (make.exitCode() != 0) GTEST_SKIP() << "mkfs.fat and mtools make the card: " << make.readAllStandardError().toStdString();

  MainDialog dialog(ImageDrives({card.toStdString()}), 0);
  dialog.SetUrlOpener([](const QUrl&) {});
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  Person person(dialog);
  QString left, speed;
  person.WillAnswer(QMessageBox::Yes);  // every cluster
  person.Will({QStringLiteral("cluster range, as proposed"),
                    [](QWidget* w) { return w->objectName() == QString::number(app::kClusterRangeDialogId); },
                    [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton); }});
  person.WillCancelProgressWhen([&] {
    left = ProgressLabel(app::kTimeLeftId);
    speed = ProgressLabel(app::kSpeedId);
    if (!left.isEmpty() && qEnvironmentVariableIsSet("VELLUM_SCREENSHOT_DIR"))
      ProgressWindow()->grab().save(QDir(qEnvironmentVariable("VELLUM_SCREENSHOT_DIR")).filePath("progress-time-left.png"));
    return !left.isEmpty();
  });
  person.Choose(kFullScanCommand);
  ASSERT_TRUE(person.Done()) << "no time left shown before the scan ended";
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^残り \\d+:\\d\\d$")).match(left).hasMatch()) << left.toStdString();
  EXPECT_TRUE(speed.endsWith(QStringLiteral(" MB/s"))) << speed.toStdString();
}

}  // namespace
}  // namespace vellum::ui
