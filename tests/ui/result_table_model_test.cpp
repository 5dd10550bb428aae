// The table model over the result list: rows announced in batches, resets
// around sorts and clears, and nothing copied per row.
#include "ui/result_table_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QColor>
#include <QCoreApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "support/scripted_messages.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/result_table.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

// Appends rows as a walk does: insert at the end, then the other cells.
void AppendRows(app::ResultList& list, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const size_t row = list.RowCount();
    const std::string n = std::to_string((i * 7919) % count);
    list.InsertRow(row, "F" + n + ".TXT", 0);
    list.SetCell(row, 1, "card.img:/");
    list.SetCell(row, 2, n);
  }
}

TEST(ResultTableModelTest, AWalksRowsReachTheViewInOneBatchPerEventLoopTurn) {
  app::ResultList list;
  platform::QtShellInfo shell;
  ResultTableModel model(list, shell);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  AppendRows(list, 1000);
  EXPECT_EQ(model.rowCount(), 0);  // not yet announced
  QCoreApplication::processEvents();
  ASSERT_EQ(inserted.size(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 0);
  EXPECT_EQ(inserted[0][2].toInt(), 999);
  EXPECT_EQ(model.rowCount(), 1000);
  EXPECT_EQ(model.data(model.index(999, 1), Qt::DisplayRole).toString(), QStringLiteral("card.img:/"));

  // A changed cell of a shown row is repainted; a row put in the middle
  // redraws everything.
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  list.SetCell(5, 3, "テキスト");
  EXPECT_EQ(changed.size(), 1);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  list.InsertRow(0, "FIRST", 0);
  EXPECT_EQ(reset.size(), 1);
  EXPECT_EQ(model.rowCount(), 1001);
  EXPECT_EQ(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("FIRST"));

  model.SortByColumn(2);
  EXPECT_EQ(reset.size(), 2);
  EXPECT_EQ(model.data(model.index(1000, 2), Qt::DisplayRole).toString(), QStringLiteral("999"));
  list.ClearRows();
  EXPECT_EQ(model.rowCount(), 0);
}

TEST(ResultTableModelTest, ColumnsFollowTheListWithHeadingAlignmentAndWidth) {
  vellum::testing::ScriptedMessages messages;
  MainDialog dialog(ImageDrives({Image("fat12.img")}), 0);
  dialog.SetMessages(&messages);
  app::ResultList& list = dialog.List();
  list.SetClusterColumn(volume::kNtfs);
  list.AddScanColumns();
  ResultTableModel& model = dialog.Model();
  ASSERT_EQ(model.columnCount(), 8);
  EXPECT_EQ(model.headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("スキャンクラスタ"));
  EXPECT_TRUE(model.headerData(5, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
              Qt::AlignRight);
  EXPECT_EQ(dialog.Table().columnWidth(5), 90);
  EXPECT_EQ(dialog.Table().columnWidth(7), 50);
}

TEST(ResultTableModelTest, ClearingShowsTheNoticeOnlyWhileTheRowsGo) {
  vellum::testing::ScriptedMessages messages;
  MainDialog dialog(ImageDrives({Image("fat12.img")}), 0);
  dialog.show();
  AppendRows(dialog.List(), 10);
  QWidget* notice = dialog.Control(kClearingNoticeId);
  bool shownDuring = false;
  QObject::connect(&dialog.Model(), &QAbstractItemModel::modelAboutToBeReset, notice,
                   [&] { shownDuring = notice->isVisible(); });
  dialog.List().ClearRows();
  EXPECT_TRUE(shownDuring);
  EXPECT_FALSE(notice->isVisible());
}

// Big enough that a row-by-row announcement or copy would show; the checks
// are about what happens, not how long it takes.
TEST(ResultTableModelTest, ALargeListStaysOneBatchOneRangeOneReset) {
  vellum::testing::ScriptedMessages messages;
  MainDialog dialog(ImageDrives({Image("fat12.img")}), 0);
  dialog.show();
  constexpr int kRows = 300000;
  QSignalSpy inserted(&dialog.Model(), &QAbstractItemModel::rowsInserted);
  AppendRows(dialog.List(), kRows);
  QCoreApplication::processEvents();
  EXPECT_EQ(inserted.size(), 1);
  ResultTable& table = dialog.Table();
  table.setFocus();
  QTest::keyClick(&table, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(table.selectionModel()->selection().size(), 1);
  table.OnColumnClick(2);
  table.OnColumnClick(2);  // descending
  EXPECT_EQ(dialog.Model().data(dialog.Model().index(0, 2), Qt::DisplayRole).toString(),
            QString::number(kRows - 1));
  EXPECT_EQ(table.selectionModel()->selection().size(), 1);  // still everything
  table.scrollToBottom();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog.Model().rowCount(), kRows);
}

// A cut name or date is seen whole on hover, with the row's name and folder,
// and a name that looks like markup is shown as the characters it is.
TEST(ResultTableModelTest, TooltipsShowTheWholeCellNameAndFolderAsPlainText) {
  app::ResultList list;
  platform::QtShellInfo shell;
  ResultTableModel model(list, shell);
  const std::string longName(300, 'N');
  list.InsertRow(0, longName + ".TXT", 0);
  list.SetCell(0, 1, "card.img:/写真/2013/");
  list.SetCell(0, 4, "2013/08/24 10:42:17");
  list.InsertRow(1, "<img src=x>&amp;.TXT", 0);
  list.SetCell(1, 1, "card.img:/<b>/");
  QCoreApplication::processEvents();
  const auto tip = [&](int row, int column) {
    return model.data(model.index(row, column), Qt::ToolTipRole).toString();
  };
  const QString wholeName = QString::fromStdString(longName) + QStringLiteral(".TXT");
  const QString nameAndFolder = wholeName + QStringLiteral("\ncard.img:/写真/2013/");
  EXPECT_TRUE(tip(0, 0).contains(nameAndFolder)) << tip(0, 0).toStdString();
  EXPECT_EQ(tip(0, 1), tip(0, 0));
  EXPECT_TRUE(tip(0, 4).contains(QStringLiteral("2013/08/24 10:42:17\n") + nameAndFolder));
  EXPECT_TRUE(Qt::mightBeRichText(tip(0, 0)));  // so that no name is ever read as markup
  EXPECT_TRUE(tip(1, 0).contains(QStringLiteral("&lt;img src=x&gt;&amp;amp;.TXT\ncard.img:/&lt;b&gt;/")))
      << tip(1, 0).toStdString();
  EXPECT_FALSE(tip(1, 0).contains(QStringLiteral("<img")));
  EXPECT_FALSE(tip(1, 2).contains(QStringLiteral("\n\n")));  // an empty cell adds no line
}

// A recognised file that repeats a named one is grey and names it on hover;
// the mark stays with the row through a sort.
TEST(ResultTableModelTest, ARepeatedContentIsGreyAndNamesTheRowItRepeats) {
  app::ResultList list;
  platform::QtShellInfo shell;
  ResultTableModel model(list, shell);
  list.InsertRow(0, "IMG_0002.JPG", 0);
  list.SetCell(0, 1, "card.img:/DCIM");
  list.SetCell(0, 5, "13");
  list.InsertRow(1, "不明13.jpg", 0);
  list.SetCell(1, 1, "card.img:/<不明>");
  list.SetCell(1, 5, "13");
  QCoreApplication::processEvents();
  model.SetSameContentRows({std::nullopt, size_t{0}});
  model.SortByColumn(0);  // the rows are put in order again; each keeps its mark
  const int repeated = model.data(model.index(0, 0), Qt::DisplayRole).toString() == QStringLiteral("不明13.jpg") ? 0 : 1;
  EXPECT_EQ(model.data(model.index(repeated, 0), Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
  EXPECT_TRUE(model.data(model.index(repeated, 0), Qt::ToolTipRole)
                  .toString()
                  .contains(QStringLiteral("同じデータ: card.img:/DCIM/IMG_0002.JPG")));
  EXPECT_FALSE(model.data(model.index(1 - repeated, 0), Qt::ForegroundRole).isValid());
}

// A carved file's own check is named on hover; a damaged one is grey, a
// verified one and a file no checker reads are not.
TEST(ResultTableModelTest, ACarvedFilesCheckIsInItsTooltipAndADamagedOneIsGrey) {
  app::ResultList list;
  platform::QtShellInfo shell;
  ResultTableModel model(list, shell);
  for (int row = 0; row < 3; ++row) {
    list.InsertRow(static_cast<size_t>(row), "不明" + std::to_string(10 + row) + (row == 2 ? ".mp4" : ".jpg"), 0);
    list.SetCell(static_cast<size_t>(row), 1, "card.img:/<不明>");
  }
  QCoreApplication::processEvents();
  model.SetContentChecks({content::ContentCheck::Verified(), content::ContentCheck::DamagedFrom(24576),
                          content::ContentCheck{}});
  const auto tip = [&](int row) { return model.data(model.index(row, 0), Qt::ToolTipRole).toString(); };
  EXPECT_TRUE(tip(0).contains(QStringLiteral("検査: 検証済み"))) << tip(0).toStdString();
  EXPECT_TRUE(tip(1).contains(QStringLiteral("検査: 破損 (24576 バイト目から)"))) << tip(1).toStdString();
  EXPECT_TRUE(tip(2).contains(QStringLiteral("検査: 未検査")));
  EXPECT_FALSE(model.data(model.index(0, 0), Qt::ForegroundRole).isValid());
  EXPECT_EQ(model.data(model.index(1, 0), Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
  EXPECT_FALSE(model.data(model.index(2, 0), Qt::ForegroundRole).isValid());
}

}  // namespace
}  // namespace vellum::ui
