// The search shows the wait cursor from its start to its end, whichever way
// it ends; questions in between show the normal pointer.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/scripted_messages.h"
#include "ui/control_ids.h"
#include "ui/cursor_scope.h"
#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/qt_messages.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

// The cursor shape the application shows now; ArrowCursor when none is set.
Qt::CursorShape ShownCursor() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor ? cursor->shape() : Qt::ArrowCursor;
}

// Notes the cursor at every question and every step of the walk.
struct CursorLog {
  std::vector<Qt::CursorShape> atMessages;
  std::vector<Qt::CursorShape> atSteps;
};

class NotingMessages : public vellum::testing::ScriptedMessages {
 public:
  explicit NotingMessages(CursorLog& log) : log_(log) {}
  MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override {
    log_.atMessages.push_back(ShownCursor());
    return ScriptedMessages::Show(text, buttons, icon, defaultAnswer);
  }

 private:
  CursorLog& log_;
};

class NotingProgress : public GuiProgress {
 public:
  NotingProgress(QWidget* owner, CursorLog& log) : GuiProgress(owner), log_(log) {}
  int Update(uint64_t current) override {
    log_.atSteps.push_back(ShownCursor());
    return GuiProgress::Update(current);
  }

 private:
  CursorLog& log_;
};

struct Window {
  CursorLog log;
  NotingMessages messages{log};
  MainDialog dialog;

  explicit Window(const char* image) : dialog(ImageDrives({Image(image)}), 0) {
    dialog.SetMessages(&messages);
    dialog.SetProgressFactory([this] { return std::make_unique<NotingProgress>(&dialog, log); });
    dialog.show();
  }
};

bool AllWait(const std::vector<Qt::CursorShape>& shapes) {
  return std::all_of(shapes.begin(), shapes.end(), [](Qt::CursorShape s) { return s == Qt::WaitCursor; });
}

TEST(WaitCursorTest, ASearchShowsTheWaitCursorThroughoutAndTheNormalOneAfter) {
  Window w("fat16.img");
  w.messages.answers = {MessageAnswer::No};
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  w.dialog.OnSearch();
  ASSERT_FALSE(w.log.atSteps.empty());
  EXPECT_TRUE(AllWait(w.log.atSteps));
  ASSERT_EQ(w.log.atMessages.size(), 1u);  // the free-cluster question
  EXPECT_EQ(w.log.atMessages[0], Qt::WaitCursor);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(WaitCursorTest, AnAbandonedOpeningAndACancelledWalkRestoreTheNormalCursor) {
  {
    Window w("fat16.img");
    QTest::keyClicks(Find<QLineEdit>(w.dialog, kFilterEditId), "*.TXT");
    w.dialog.OnSearch();
    ASSERT_EQ(w.log.atMessages.size(), 1u);  // the wildcard message
    EXPECT_EQ(w.log.atMessages[0], Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
  {
    Window w("fat16.img");
    w.dialog.SetProgressFactory([&w] {
      auto progress = std::make_unique<NotingProgress>(&w.dialog, w.log);
      QTest::keyClick(&progress->Dialog(), Qt::Key_Escape);  // cancelled before the first step
      return progress;
    });
    w.dialog.OnSearch();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
}

TEST(WaitCursorTest, TheFullScanKeepsTheNormalCursor) {
  Window w("fat12.img");
  w.messages.answers = {MessageAnswer::No};  // not the full scan after all
  w.dialog.OnFullScan();
  ASSERT_EQ(w.log.atMessages.size(), 1u);
  EXPECT_EQ(w.log.atMessages[0], Qt::ArrowCursor);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(WaitCursorTest, AMessageBoxShowsTheNormalPointerAndGivesTheWaitCursorBack) {
  QWidget parent;
  QtMessages messages(&parent);
  const WaitCursor wait;
  Qt::CursorShape inBox = Qt::WaitCursor;
  QTimer::singleShot(0, [&] {
    inBox = ShownCursor();
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Ok)->click();
  });
  messages.Show("ファイルは１件も見つかりませんでした。", MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  EXPECT_EQ(inBox, Qt::ArrowCursor);
  EXPECT_EQ(ShownCursor(), Qt::WaitCursor);
}

}  // namespace
}  // namespace vellum::ui
