// What a person found stays found: Esc and the close box ask before rows
// that were not saved go, and a question answered No or a dialog cancelled
// leaves the list and its counter as they were.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <vector>

#include "app/search_command.h"
#include "app/window_close.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "person.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

struct Desk {
  MainDialog dialog;
  Person person{dialog};

  explicit Desk(const std::vector<std::string>& images) : dialog(ImageDrives(images), 0) {
    dialog.SetUrlOpener([](const QUrl&) {});
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  void Search() {
    person.WillAnswer(QMessageBox::No);  // no free-cluster scan
    person.Click(kSearchButtonId);
  }
  QString Count() { return dialog.findChild<QLabel*>(QString::number(kFoundCountId))->text(); }
  std::vector<QString> Shown() {
    std::vector<QString> rows;
    for (int r = 0; r < person.Rows(); ++r) rows.push_back(person.Cell(r, 1) + '|' + person.Cell(r, 0));
    return rows;
  }
  // The next message box: its text, whether No is its default, then No.
  void WillSayNoTo(QString& text, bool& noIsDefault) {
    person.Will({QStringLiteral("the unsaved-rows question"),
                 [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
                 [&text, &noIsDefault](QWidget* w) {
                   auto* box = static_cast<QMessageBox*>(w);
                   text = box->text();
                   noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
                   QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
                 }});
  }
};

// Esc in the list, in the name box and in the drive box, and the close box:
// each asks, No keeps the window and its rows, Yes closes it.
TEST(KeepsWork, EscAndTheCloseBoxAskBeforeUnsavedRowsGo) {
  Desk desk({Image("fat16.img")});
  desk.Search();
  ASSERT_GT(desk.person.Rows(), 2);
  const std::vector<QString> rows = desk.Shown();
  const QString count = desk.Count();
  QWidget* list = &desk.person.Table();
  QWidget* filter = desk.dialog.Control(kFilterEditId);
  QWidget* drives = desk.dialog.Control(kDriveBoxControlId);
  const std::vector<std::pair<const char*, std::function<void()>>> ways = {
      {"Esc in the list", [&] { desk.person.ClickRow(0);
                                QTest::keyClick(list, Qt::Key_Escape); }},
      {"Esc in the name box", [&] { QTest::mouseClick(filter, Qt::LeftButton);
                                    QTest::keyClick(filter, Qt::Key_Escape); }},
      {"Esc in the drive box", [&] { drives->setFocus(Qt::TabFocusReason);
                                     QTest::keyClick(drives, Qt::Key_Escape); }},
      {"the close box", [&] { desk.dialog.windowHandle()->close(); }},
  };
  for (const auto& [way, act] : ways) {
    QString text;
    bool noIsDefault = false;
    desk.WillSayNoTo(text, noIsDefault);
    act();
    EXPECT_TRUE(desk.person.Done()) << way;
    EXPECT_EQ(text, Q(app::kUnsavedRowsQuestion)) << way;
    EXPECT_TRUE(noIsDefault) << way;
    EXPECT_TRUE(desk.dialog.isVisible()) << way;
    EXPECT_EQ(desk.Shown(), rows) << way;
    EXPECT_EQ(desk.Count(), count) << way;
  }
  desk.person.WillAnswer(QMessageBox::Yes);
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_TRUE(desk.person.Done());
  EXPECT_FALSE(desk.dialog.isVisible());
}

// Saved rows are safe on disk: Esc closes at once, as it always did.
TEST(KeepsWork, SavedRowsCloseWithoutAQuestion) {
  QTemporaryDir work;
  Desk desk({Image("fat16.img")});
  desk.Search();
  ASSERT_GT(desk.person.Rows(), 2);
  desk.person.WillChoosePath(work.filePath(QStringLiteral("found.tsv")));
  desk.person.Choose(kSaveResultsCommand);
  ASSERT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  const size_t before = desk.person.Messages().size();
  QTest::keyClick(&desk.person.Table(), Qt::Key_Escape);
  EXPECT_FALSE(desk.dialog.isVisible());
  EXPECT_EQ(desk.person.Messages().size(), before);
}

// A list the command line saved from an image this window has not opened.
QString ListOfAnotherImage(const QTemporaryDir& work) {
  const QString list = work.filePath(QStringLiteral("fat12.tsv"));
  QProcess cli;
  cli.start(QStringLiteral(VELLUM_CLI), {QStringLiteral("search"), QString::fromStdString(Image("fat12.img")),
                                         QStringLiteral("--no-free-scan"), QStringLiteral("-o"), list});
  EXPECT_TRUE(cli.waitForFinished(60000));
  return list;
}

// Loading it: No to opening its image, or Yes and then Cancel in the file
// dialog, leaves the rows found and "ファイル数" as they were.
TEST(KeepsWork, ALoadThatIsDeclinedKeepsTheList) {
  QTemporaryDir work;
  const QString other = ListOfAnotherImage(work);
  Desk desk({Image("fat16.img")});
  desk.Search();
  const std::vector<QString> rows = desk.Shown();
  const QString count = desk.Count();
  ASSERT_GT(rows.size(), 2u);
  ASSERT_EQ(count, QString::number(rows.size()));
  for (const bool cancelDialog : {false, true}) {
    desk.person.WillChoosePath(other);
    desk.person.WillAnswer(cancelDialog ? QMessageBox::Yes : QMessageBox::No);  // open its image?
    if (cancelDialog) desk.person.WillCancelFileDialog();
    desk.person.WillAnswer(QMessageBox::Ok);  // its volume is nowhere
    desk.person.Choose(kLoadResultsCommand);
    EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
    EXPECT_EQ(desk.Shown(), rows) << cancelDialog;
    EXPECT_EQ(desk.Count(), count) << cancelDialog;
  }
  // Still the unsaved rows of the search: the window asks before they go.
  QString text;
  bool noIsDefault = false;
  desk.WillSayNoTo(text, noIsDefault);
  QTest::keyClick(&desk.person.Table(), Qt::Key_Escape);
  EXPECT_EQ(text, Q(app::kUnsavedRowsQuestion));
}

// The full cluster scan of another drive: No to its question, or Cancel in
// the range dialog, keeps the rows of the first drive, and they still
// restore from it.
TEST(KeepsWork, NoToTheFullScanOrACancelledRangeKeepsTheList) {
  Desk desk({Image("fat16.img"), Image("fat12.img")});
  desk.Search();
  const std::vector<QString> rows = desk.Shown();
  const QString count = desk.Count();
  const QString title = desk.dialog.windowTitle();
  ASSERT_GT(rows.size(), 2u);
  auto* drives = static_cast<QComboBox*>(desk.dialog.Control(kDriveBoxControlId));
  drives->setFocus(Qt::TabFocusReason);
  QTest::keyClick(drives, Qt::Key_Down);
  ASSERT_EQ(drives->currentIndex(), 1);
  for (const bool cancelRange : {false, true}) {
    desk.person.WillAnswer(cancelRange ? QMessageBox::Yes : QMessageBox::No);
    if (cancelRange)
      desk.person.Will({QStringLiteral("cluster range, cancelled"),
                        [](QWidget* w) { return w->objectName() == QString::number(app::kClusterRangeDialogId); },
                        [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("2")), Qt::LeftButton); }});
    desk.person.Choose(kFullScanCommand);
    EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
    EXPECT_EQ(desk.Shown(), rows) << cancelRange;
    EXPECT_EQ(desk.Count(), count) << cancelRange;
    EXPECT_EQ(desk.dialog.windowTitle(), title) << cancelRange;
  }
  EXPECT_EQ(desk.person.Unexpected(), 0);
  int row = -1;
  for (int r = 0; r < desk.person.Rows(); ++r)
    if (desk.person.Cell(r, 0) == QStringLiteral("Deleted long name in root.txt")) row = r;
  ASSERT_GE(row, 0);
  desk.person.ClickRow(row);
  QTemporaryDir to;
  desk.person.WillChoosePath(to.path());
  desk.person.WillAnswer(QMessageBox::Ok);
  desk.person.Click(kRestoreButtonId);
  EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  EXPECT_TRUE(QFile::exists(to.filePath(QStringLiteral("Deleted long name in root.txt"))));
}

}  // namespace
}  // namespace vellum::ui
