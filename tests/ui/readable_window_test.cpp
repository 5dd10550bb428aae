// The window as a person reads it: a list whose cells are not cut, the
// sorted column marked, the selection counted, the drive box's facts in
// sight, every control reached with Tab, advice that fits the user, and a
// title naming the rows' drive.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <set>
#include <vector>

#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/main_widgets.h"
#include "ui/result_table.h"
#include "person.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

struct Desk {
  MainDialog dialog;
  Person person{dialog};

  explicit Desk(volume::DriveTable drives) : dialog(std::move(drives), 0) {
    dialog.SetUrlOpener([](const QUrl&) {});
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  explicit Desk(const std::vector<std::string>& images) : Desk(ImageDrives(images)) {}
  void Search() {
    person.WillAnswer(QMessageBox::No);
    person.Click(kSearchButtonId);
  }
  QString Status(const char* name) { return dialog.findChild<QLabel*>(QString::fromLatin1(name))->text(); }
};

// After a search every cell shows whole: each column is at least as wide as
// its widest text; the results file keeps the widths it always had.
TEST(ReadableWindow, TheFilledListShowsEveryCellWholeAndMarksTheSortedColumn) {
  QTemporaryDir work;
  Desk desk({Image("ntfs-512.img")});
  desk.Search();
  ASSERT_GT(desk.person.Rows(), 4);
  ResultTable& table = desk.person.Table();
  const QFontMetrics metrics(table.font());
  QHeaderView* header = table.horizontalHeader();
  for (int c : {0, 2, 4, 5}) {
    int widest = 0;
    for (int r = 0; r < desk.person.Rows(); ++r)
      widest = qMax(widest, metrics.horizontalAdvance(desk.person.Cell(r, c)) + (c == 0 ? table.iconSize().width() : 0));
    EXPECT_GT(header->sectionSize(c), widest) << c;
  }
  EXPECT_FALSE(header->isSortIndicatorShown());
  desk.person.ClickHeading(2);
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorSection(), 2);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  desk.person.ClickHeading(2);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

  const QString list = work.filePath(QStringLiteral("found.tsv"));
  desk.person.WillChoosePath(list);
  desk.person.Choose(kSaveResultsCommand);
  ASSERT_TRUE(desk.person.Done());
  QFile saved(list);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  saved.readLine();
  const QString columns = QString::fromUtf8(saved.readLine());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^名前\t\\d+\t110\tフォルダ名\t\\d+\t210\t")).match(columns).hasMatch())
      << columns.toStdString();
  if (qEnvironmentVariableIsSet("VELLUM_SCREENSHOT_DIR"))
    desk.dialog.grab().save(QDir(qEnvironmentVariable("VELLUM_SCREENSHOT_DIR")).filePath("fitted-list.png"));
}

TEST(ReadableWindow, TheStatusLineCountsTheSelectedRows) {
  Desk desk({Image("fat16.img")});
  desk.Search();
  const int rows = desk.person.Rows();
  ASSERT_GT(rows, 3);
  EXPECT_TRUE(desk.Status("statusSelection").isEmpty());
  desk.person.ClickRow(0);
  desk.person.ClickRow(2, Qt::ShiftModifier);
  EXPECT_EQ(desk.Status("statusSelection"), QStringLiteral("3 件を選択 (%1 件中)").arg(rows));
  QTest::keyClick(&desk.person.Table(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(desk.Status("statusSelection"), QStringLiteral("%1 件を選択 (%1 件中)").arg(rows));
}

// An image with a long name opened from the menu: the closed drive box still
// shows its file system and size, the name losing its middle instead.
TEST(ReadableWindow, TheDriveBoxShowsFileSystemAndSize) {
  QTemporaryDir work;
  const QString image = work.filePath(QStringLiteral("camera-card-from-the-summer-holidays-in-2024-copy.img"));
  ASSERT_TRUE(QFile::copy(QString::fromStdString(Image("fat16.img")), image));
  Desk desk({Image("fat12.img")});
  desk.person.WillChoosePath(image);
  desk.person.Choose(kOpenImageCommand);
  ASSERT_TRUE(desk.person.Done());
  auto* drives = static_cast<DriveBox*>(desk.dialog.Control(kDriveBoxControlId));
  ASSERT_EQ(drives->currentIndex(), 1);
  const QString shown = drives->ShownText();
  EXPECT_TRUE(shown.contains(QStringLiteral("FAT16"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QStringLiteral(" MB"))) << shown.toStdString();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("c"))) << shown.toStdString();
  EXPECT_TRUE(drives->toolTip().startsWith(drives->currentText())) << drives->toolTip().toStdString();
}

// Tab from the drive box goes round every control, the (U) and (Z) boxes
// too, and Space ticks the one it is on.
TEST(ReadableWindow, TabReachesEveryControl) {
  Desk desk({Image("fat12.img")});
  QWidget* drives = desk.dialog.Control(kDriveBoxControlId);
  QTest::mouseClick(desk.dialog.Control(kFilterEditId), Qt::LeftButton);
  std::set<QWidget*> reached;
  for (int i = 0; i < 20; ++i) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    reached.insert(focus);
    QTest::keyClick(focus, Qt::Key_Tab);
  }
  for (const int id : {kDriveBoxControlId, kFilterEditId, kSearchButtonId, kListId, kInUseCheckId, kZeroSizeCheckId,
                       kAnalyseCheckId, kRestoreButtonId, kExitButtonId})
    EXPECT_TRUE(reached.count(desk.dialog.Control(id))) << id;
  auto* zero = static_cast<QCheckBox*>(desk.dialog.Control(kZeroSizeCheckId));
  for (int i = 0; i < 20 && QApplication::focusWidget() != zero; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), zero);
  QTest::keyClick(zero, Qt::Key_Space);
  EXPECT_TRUE(zero->isChecked());
  EXPECT_NE(drives, nullptr);
}

// A file the system refuses even to root: the advice does not say to start
// the program as root, which it already is.
TEST(ReadableWindow, TheAdviceFitsRunningAsRoot) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  const std::string refused = "/proc/sys/vm/compact_memory";  // write only, for root too
  volume::DriveTable drives = ImageDrives({Image("fat12.img")});
  volume::DriveEntry entry = drives.entries[0];
  entry.index = 1;
  entry.sourcePath = refused;
  entry.rootText = "compact_memory:/";
  entry.displayName = "compact_memory";
  drives.entries.push_back(entry);
  Desk desk(std::move(drives));
  auto* box = static_cast<QComboBox*>(desk.dialog.Control(kDriveBoxControlId));
  box->setFocus(Qt::TabFocusReason);
  QTest::keyClick(box, Qt::Key_Down);
  ASSERT_EQ(box->currentIndex(), 1);
  desk.person.WillAnswer(QMessageBox::Ok);
  desk.person.Click(kSearchButtonId);
  ASSERT_TRUE(QTest::qWaitFor([&] { return desk.person.Done(); }, 3000));
  ASSERT_FALSE(desk.person.Messages().empty());
  const QString said = desk.person.Messages().front();
  EXPECT_FALSE(said.contains(QStringLiteral("sudo"))) << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("root の権限で実行していても"))) << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("アクセスが拒否されました"))) << said.toStdString();
}

// The title names the drive whose rows are listed: a search that stopped at
// its input check leaves both; the next one on the new image changes both.
TEST(ReadableWindow, TheTitleFollowsTheDriveTheRowsAreFrom) {
  Desk desk({Image("fat16.img")});
  desk.Search();
  const int rows = desk.person.Rows();
  ASSERT_GT(rows, 2);
  EXPECT_TRUE(desk.dialog.windowTitle().contains(QStringLiteral("fat16.img:/")));
  desk.person.WillChoosePath(QString::fromStdString(Image("fat12.img")));
  desk.person.Choose(kOpenImageCommand);
  ASSERT_TRUE(desk.person.Done());
  auto* filter = static_cast<QLineEdit*>(desk.dialog.Control(kFilterEditId));
  QTest::mouseClick(filter, Qt::LeftButton);
  QTest::keyClicks(filter, QStringLiteral("*.TXT"));
  desk.person.WillAnswer(QMessageBox::Ok);  // no wildcards
  QTest::keyClick(filter, Qt::Key_Return);
  ASSERT_TRUE(desk.person.Done());
  EXPECT_EQ(desk.person.Rows(), rows);
  EXPECT_TRUE(desk.dialog.windowTitle().contains(QStringLiteral("fat16.img:/"))) << desk.dialog.windowTitle().toStdString();
  QTest::keyClick(filter, Qt::Key_Delete);  // the wildcard text, selected by the message
  desk.Search();
  EXPECT_TRUE(desk.dialog.windowTitle().contains(QStringLiteral("fat12.img:/"))) << desk.dialog.windowTitle().toStdString();
  EXPECT_TRUE(desk.person.Cell(0, 1).startsWith(QStringLiteral("fat12.img:/")));
}

}  // namespace
}  // namespace vellum::ui
