// The window as a person reads it: a list whose cells are not cut, the
// sorted column marked, the selection counted, the drive box's facts in
// sight.
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

}  // namespace
}  // namespace vellum::ui
