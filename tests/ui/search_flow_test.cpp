// The main window's commands end to end on committed images: search, the
// result table, saving and loading.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/parse_number.h"
#include "app/search_command.h"
#include "support/scripted_messages.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/result_table.h"
#include "ui/result_table_model.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

struct Window : ScriptedWindow {
  using ScriptedWindow::ScriptedWindow;
  QLineEdit* Filter() { return Find<QLineEdit>(dialog, kFilterEditId); }
  QString Counter() { return Find<QLabel>(dialog, kFoundCountId)->text(); }
  QString Cell(int row, int column) {
    return dialog.Model().data(dialog.Model().index(row, column), Qt::DisplayRole).toString();
  }
};

// Clicks the heading of a column.
void ClickHeading(ResultTable& table, int column) {
  QHeaderView* header = table.horizontalHeader();
  const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

TEST(SearchFromWindow, EnterInTheFilterSearchesAndFillsListAndCounter) {
  Window w({Image("fat16.img")});
  QAbstractItemModelTester tester(&w.dialog.Model(),
                                  QAbstractItemModelTester::FailureReportingMode::Warning);
  w.messages.answers = {MessageAnswer::No};  // no free-cluster scan
  QTest::keyClicks(w.Filter(), "txt");
  EXPECT_EQ(w.Filter()->text(), QStringLiteral("TXT"));  // typed letters become capitals
  QTest::keyClick(w.Filter(), Qt::Key_Return);

  ASSERT_FALSE(w.messages.shown.empty());
  EXPECT_EQ(w.messages.shown[0], app::kFreeScanQuestion);
  EXPECT_EQ(w.messages.shown.size(), 1u);
  const int rows = w.dialog.Model().rowCount();
  ASSERT_GT(rows, 0);
  EXPECT_EQ(static_cast<size_t>(rows), w.dialog.List().RowCount());
  EXPECT_EQ(w.Counter(), QString::number(rows));
  EXPECT_EQ(w.dialog.Model().columnCount(), 6);
  EXPECT_EQ(w.dialog.Model().headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("クラスタ"));
  for (int r = 0; r < rows; ++r)
    EXPECT_TRUE(w.Cell(r, 0).toUpper().contains(QStringLiteral("TXT"))) << w.Cell(r, 0).toStdString();
  // Icons come with the rows.
  EXPECT_FALSE(w.dialog.Model().data(w.dialog.Model().index(0, 0), Qt::DecorationRole).isNull());
  // The window is usable again and the progress window gone.
  EXPECT_TRUE(w.dialog.isEnabled());
  for (QWidget* top : QApplication::topLevelWidgets())
    EXPECT_FALSE(top->objectName() == QStringLiteral("105") && top->isVisible());
}

TEST(SearchFromWindow, NothingFoundSaysSoAfterTheFreeScanQuestion) {
  Window w({Image("fat12.img")});
  w.messages.answers = {MessageAnswer::No};
  QTest::keyClicks(w.Filter(), "NO-SUCH-NAME-ANYWHERE");
  QTest::mouseClick(Find<QWidget>(w.dialog, kSearchButtonId), Qt::LeftButton);
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[0], app::kFreeScanQuestion);
  EXPECT_EQ(w.messages.shown[1], app::kNothingFoundMessage);
  EXPECT_EQ(w.dialog.Model().rowCount(), 0);
  EXPECT_EQ(w.Counter(), QStringLiteral("0"));
}

TEST(SearchFromWindow, WildcardIsRefusedWithTheFocusOnTheFilter) {
  Window w({Image("fat12.img")});
  QTest::keyClicks(w.Filter(), "*.txt");
  QTest::keyClick(w.Filter(), Qt::Key_Return);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0], app::kWildcardMessage);
  EXPECT_TRUE(w.Filter()->hasFocus() || QApplication::focusWidget() == nullptr);
}

// A progress window whose user presses Esc once a few entries are listed;
// it notes whether the main window was disabled meanwhile.
class EscAfter : public GuiProgress {
 public:
  EscAfter(QWidget* owner, int entries, bool& ownerWasEnabled)
      : GuiProgress(owner), owner_(owner), left_(entries), ownerWasEnabled_(ownerWasEnabled) {}
  void SetFileName(std::string_view name) override {
    GuiProgress::SetFileName(name);
    ownerWasEnabled_ |= owner_->isEnabled();
    if (--left_ == 0) QTest::keyClick(&Dialog(), Qt::Key_Escape);
  }

 private:
  QWidget* owner_;
  int left_;
  bool& ownerWasEnabled_;
};

TEST(SearchFromWindow, CancellingThroughTheProgressWindowKeepsTheRows) {
  Window w({Image("fat16.img")});
  bool ownerWasEnabled = false;
  int windows = 0;
  w.dialog.SetProgressFactory([&] {
    ++windows;
    return std::make_unique<EscAfter>(&w.dialog, 3, ownerWasEnabled);
  });
  QTest::keyClick(w.Filter(), Qt::Key_Return);
  EXPECT_EQ(windows, 1);
  EXPECT_FALSE(ownerWasEnabled);
  // The walk stopped at its next check: the listed rows stay, no scan is offered.
  EXPECT_GE(w.dialog.Model().rowCount(), 3);
  EXPECT_LT(w.dialog.Model().rowCount(), 10);
  EXPECT_TRUE(w.messages.shown.empty());
  EXPECT_TRUE(w.dialog.isEnabled());
}

TEST(ResultTableOnScreen, SizeHeadingSortsNumericallyUpThenDown) {
  Window w({Image("fat16.img")});
  w.messages.answers = {MessageAnswer::No};
  QTest::keyClick(w.Filter(), Qt::Key_Return);
  const int rows = w.dialog.Model().rowCount();
  ASSERT_GT(rows, 3);
  const auto sizes = [&] {
    std::vector<uint64_t> v;
    for (int r = 0; r < rows; ++r) v.push_back(app::ParseUnsigned64(w.Cell(r, 2).toStdString()));
    return v;
  };
  ClickHeading(w.dialog.Table(), 2);
  std::vector<uint64_t> up = sizes();
  EXPECT_TRUE(std::is_sorted(up.begin(), up.end()));
  EXPECT_NE(up.front(), up.back());
  ClickHeading(w.dialog.Table(), 2);
  std::vector<uint64_t> down = sizes();
  EXPECT_TRUE(std::is_sorted(down.rbegin(), down.rend()));

  // The selection moves with its row.
  const QString name = w.Cell(1, 0);
  w.dialog.Table().selectRow(1);
  ClickHeading(w.dialog.Table(), 0);
  const QModelIndexList selected = w.dialog.Table().selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(w.Cell(selected[0].row(), 0), name);
}

TEST(ResultTableOnScreen, CtrlASelectsEveryRowAndAAloneDoesNot) {
  Window w({Image("fat16.img")});
  w.messages.answers = {MessageAnswer::No};
  QTest::keyClick(w.Filter(), Qt::Key_Return);
  ResultTable& table = w.dialog.Table();
  table.setFocus();
  QTest::keyClick(&table, Qt::Key_A);
  EXPECT_EQ(w.dialog.List().SelectedRows().size(), 0u);
  EXPECT_LE(table.selectionModel()->selectedRows().size(), 1);
  QTest::keyClick(&table, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(table.selectionModel()->selectedRows().size(), w.dialog.Model().rowCount());
  EXPECT_EQ(w.dialog.List().SelectedRows().size(), w.dialog.List().RowCount());
}

TEST(ResultsFileFromWindow, SaveThenLoadGivesTheSameList) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("結果")).toStdString();
  Window w({Image("fat12.img"), Image("fat16.img")});
  Find<QComboBox>(w.dialog, kDriveBoxControlId)->setCurrentIndex(1);
  w.messages.answers = {MessageAnswer::No};
  QTest::keyClick(w.Filter(), Qt::Key_Return);
  ClickHeading(w.dialog.Table(), 2);
  const app::ResultList& list = w.dialog.List();
  const size_t rows = list.RowCount();
  ASSERT_GT(rows, 0u);
  std::vector<std::vector<std::string>> cells;
  std::vector<uint32_t> words;
  for (size_t r = 0; r < rows; ++r) {
    cells.emplace_back();
    for (size_t c = 0; c < list.ColumnCount(); ++c) cells.back().emplace_back(list.Cell(r, c));
    words.push_back(list.DataWord(r));
  }

  w.paths.answers = {path};
  w.dialog.Command(kSaveResultsCommand)->trigger();
  EXPECT_EQ(w.paths.initialNames.back(), "結果");

  // Reloaded in a fresh window that starts on the other drive.
  Window v({Image("fat12.img"), Image("fat16.img")});
  v.paths.answers = {path};
  v.dialog.Command(kLoadResultsCommand)->trigger();
  EXPECT_EQ(Find<QComboBox>(v.dialog, kDriveBoxControlId)->currentIndex(), 1);
  EXPECT_EQ(v.Counter(), QString::number(rows));
  ASSERT_EQ(v.dialog.Model().rowCount(), static_cast<int>(rows));
  ASSERT_EQ(v.dialog.List().ColumnCount(), list.ColumnCount());
  for (size_t c = 0; c < list.ColumnCount(); ++c) EXPECT_EQ(v.dialog.List().ColumnAt(c), list.ColumnAt(c));
  for (size_t r = 0; r < rows; ++r) {
    for (size_t c = 0; c < list.ColumnCount(); ++c)
      EXPECT_EQ(v.dialog.List().Cell(r, c), cells[r][c]) << r << "," << c;
    EXPECT_EQ(v.dialog.List().DataWord(r), words[r]) << r;
  }
  EXPECT_FALSE(QGuiApplication::overrideCursor());  // the wait cursor is gone
  EXPECT_TRUE(v.messages.shown.empty());
}

TEST(ResultsFileFromWindow, LoadingSelectsTheDriveWithoutTheSelectionHandling) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ntfs-results"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("1\r\n名前\t16384\t110\r\nA.TXT\tntfs-512.img:/\t       0\r\n");
  file.close();
  Window w({Image("fat12.img"), Image("ntfs-512.img")});
  ASSERT_TRUE(w.dialog.Control(kInUseCheckId)->isEnabled());
  w.paths.answers = {path.toStdString()};
  w.dialog.Command(kLoadResultsCommand)->trigger();
  EXPECT_EQ(Find<QComboBox>(w.dialog, kDriveBoxControlId)->currentIndex(), 1);
  // Selecting NTFS by hand would have turned the option off; a load does not.
  EXPECT_TRUE(w.dialog.Control(kInUseCheckId)->isEnabled());
  EXPECT_EQ(w.dialog.Model().rowCount(), 1);
  EXPECT_EQ(w.Counter(), QStringLiteral("1"));
}

TEST(ResultsFileFromWindow, SavingAnEmptyListOpensNoDialog) {
  Window w({Image("fat12.img")});
  w.dialog.Command(kSaveResultsCommand)->trigger();
  EXPECT_EQ(w.paths.asked, 0);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0], app::kNothingToSave);
}

}  // namespace
}  // namespace vellum::ui
