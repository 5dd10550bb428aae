// The progress window, the cluster-range dialog and the file-size dialog.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/cluster_range.h"
#include "support/scripted_messages.h"
#include "ui/cluster_dlg.h"
#include "ui/file_size_dialog.h"
#include "ui/progress_dialog.h"

namespace vellum::ui {
namespace {

using vellum::testing::ScriptedMessages;

// Runs `act` once the dialog's own event loop is going.
template <typename Act>
void WhenOpen(QDialog& dialog, Act act) {
  QTimer::singleShot(0, &dialog, act);
}

TEST(ProgressWindow, DisablesItsOwnerWhileOpenAndShowsAFullBarAtTheTotal) {
  QWidget owner;
  owner.show();
  {
    GuiProgress progress(&owner);
    ASSERT_EQ(progress.OpenProgress(), 1);
    EXPECT_FALSE(owner.isEnabled());
    ProgressDialog& dialog = progress.Dialog();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isEnabled());  // the owner's state does not reach it
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Vellum"));
    EXPECT_EQ(dialog.Label(app::kPercentId)->text(), QStringLiteral(" 0 %"));
    EXPECT_TRUE(dialog.Label(app::kFileLabelId)->isHidden());
    EXPECT_EQ(dialog.CancelButton()->text(), QStringLiteral("ｷｬﾝｾﾙ"));

    progress.StartPhase("クラスタ：", 65525);
    progress.ShowFileLabel();
    EXPECT_FALSE(dialog.Label(app::kFileLabelId)->isHidden());
    EXPECT_EQ(progress.Update(1200), 1);
    EXPECT_EQ(dialog.Label(app::kCounterTextId)->text(), QStringLiteral("1200 / 65525"));
    EXPECT_EQ(progress.Update(65525), 1);
    EXPECT_EQ(dialog.Bar()->value(), 100);
    EXPECT_EQ(dialog.Label(app::kPercentId)->text(), QStringLiteral("100%"));
    progress.CloseProgress();
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_FALSE(dialog.isVisible());
  }
  // An owner that was disabled already stays so.
  owner.setEnabled(false);
  {
    GuiProgress progress(&owner);
    progress.OpenProgress();
  }
  EXPECT_FALSE(owner.isEnabled());
}

TEST(ProgressWindow, EscEnterButtonAndCloseBoxCancelButLeaveTheWindowOpen) {
  QWidget owner;
  owner.show();
  const auto cancelsWith = [&](const std::function<void(ProgressDialog&)>& press) {
    GuiProgress progress(&owner);
    progress.OpenProgress();
    progress.StartPhase("", 10);
    EXPECT_EQ(progress.PumpAndCheckCancel(), 0);
    press(progress.Dialog());
    const bool cancelled = progress.Update(5) == 0;
    EXPECT_TRUE(progress.Dialog().isVisible());  // until the walk closes it
    // Once cancelled, always cancelled.
    EXPECT_EQ(progress.PumpAndCheckCancel(), cancelled ? 1 : 0);
    return cancelled;
  };
  EXPECT_TRUE(cancelsWith([](ProgressDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }));
  EXPECT_TRUE(cancelsWith([](ProgressDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }));
  EXPECT_TRUE(cancelsWith([](ProgressDialog& d) { QTest::keyClick(d.CancelButton(), Qt::Key_Return); }));
  EXPECT_TRUE(cancelsWith([](ProgressDialog& d) { QTest::mouseClick(d.CancelButton(), Qt::LeftButton); }));
  EXPECT_TRUE(cancelsWith([](ProgressDialog& d) { d.close(); }));
  // Other keys do not cancel.
  EXPECT_FALSE(cancelsWith([](ProgressDialog& d) { QTest::keyClick(&d, Qt::Key_Space); }));
}

TEST(ProgressWindow, PumpsAtMostEveryFewMilliseconds) {
  QWidget owner;
  GuiProgress progress(&owner);
  progress.OpenProgress();
  progress.PumpAndCheckCancel();  // the first question always pumps
  int delivered = 0;
  QTimer::singleShot(0, &owner, [&] { ++delivered; });
  progress.PumpAndCheckCancel();
  EXPECT_EQ(delivered, 0);  // asked again at once: no pumping yet
  QTest::qWait(kPumpIntervalMs + 10);
  progress.PumpAndCheckCancel();
  EXPECT_EQ(delivered, 1);
}

struct RangeDialog {
  ScriptedMessages messages;
  CClusterDlg dialog{messages, nullptr};

  void Type(const char* start, const char* end) {
    dialog.StartEdit()->setText(QString::fromLatin1(start));
    dialog.EndEdit()->setText(QString::fromLatin1(end));
  }
  void PressOk() { QTest::keyClick(dialog.EndEdit(), Qt::Key_Return); }
};

TEST(ClusterRangeDialog, RefusesEachBadRangeWithItsMessageAndFocus) {
  RangeDialog r;
  uint64_t start = 2, end = 65525;  // FAT: the proposed range is also the limit
  std::vector<QWidget*> focused;
  WhenOpen(r.dialog, [&] {
    EXPECT_EQ(r.dialog.StartEdit()->text(), QStringLiteral("2"));
    EXPECT_EQ(r.dialog.EndEdit()->text(), QStringLiteral("65525"));
    r.Type("1", "65525");
    r.PressOk();
    focused.push_back(r.dialog.focusWidget());
    r.Type("2", "65526");
    r.PressOk();
    focused.push_back(r.dialog.focusWidget());
    r.Type("100", "99");
    r.PressOk();
    focused.push_back(r.dialog.focusWidget());
    EXPECT_TRUE(r.dialog.isVisible());
    r.Type("100", "100");  // a range of one cluster is fine
    r.PressOk();
  });
  ASSERT_TRUE(r.dialog.RunClusterRangeDialog(start, end));
  EXPECT_EQ(start, 100u);
  EXPECT_EQ(end, 100u);
  ASSERT_EQ(r.messages.shown.size(), 3u);
  EXPECT_EQ(r.messages.shown[0], app::kStartTooSmallMessage);
  EXPECT_EQ(r.messages.shown[1], app::kEndTooLargeMessage);
  EXPECT_EQ(r.messages.shown[2], app::kEndBeforeStartMessage);
  EXPECT_EQ(r.messages.lastIcon, MessageIcon::Warning);
  const std::vector<QWidget*> expected{r.dialog.StartEdit(), r.dialog.EndEdit(), r.dialog.EndEdit()};
  EXPECT_EQ(focused, expected);
}

TEST(ClusterRangeDialog, CancelLeavesTheRangeAndBigNumbersSurvive) {
  RangeDialog r;
  uint64_t start = 0, end = 20000000000ull;
  WhenOpen(r.dialog, [&] {
    EXPECT_EQ(r.dialog.EndEdit()->text(), QStringLiteral("20000000000"));
    r.dialog.EndEdit()->selectAll();
    QTest::keyClicks(r.dialog.EndEdit(), "abc");  // letters never reach the edit
    EXPECT_EQ(r.dialog.EndEdit()->text(), QStringLiteral("20000000000"));
    QTest::keyClick(&r.dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(r.dialog.RunClusterRangeDialog(start, end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 20000000000ull);

  WhenOpen(r.dialog, [&] {
    r.Type("10000000000", "19999999999");
    r.PressOk();
  });
  ASSERT_TRUE(r.dialog.RunClusterRangeDialog(start, end));
  EXPECT_EQ(start, 10000000000ull);
  EXPECT_EQ(end, 19999999999ull);
  EXPECT_TRUE(r.messages.shown.empty());
  EXPECT_EQ(r.dialog.windowTitle(), QStringLiteral("Vellum"));
}

TEST(FileSizeDialogTest, OkTakesTheEditedSizeCancelKeepsIt) {
  FileSizeDialog dialog(nullptr);
  uint64_t size = 123456;
  WhenOpen(dialog, [&] {
    EXPECT_EQ(dialog.SizeEdit()->text(), QStringLiteral("123456"));
    dialog.SizeEdit()->setText(QStringLiteral("12000000000"));
    QTest::keyClick(dialog.SizeEdit(), Qt::Key_Return);
  });
  ASSERT_TRUE(dialog.RunFileSizeDialog(size));
  EXPECT_EQ(size, 12000000000ull);
  WhenOpen(dialog, [&] {
    dialog.SizeEdit()->setText(QStringLiteral("5"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(dialog.RunFileSizeDialog(size));
  EXPECT_EQ(size, 12000000000ull);
  EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("1026"))->text(),
            QStringLiteral("ファイルサイズが間違っている場合に限り訂正してください。"));
}

}  // namespace
}  // namespace vellum::ui
