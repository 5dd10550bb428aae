// Complete deletion from the menu: the first question, then the free-space
// question, and the closing message with what was overwritten.
#include <gtest/gtest.h>

#include <QAction>
#include <QTemporaryDir>
#include <filesystem>

#include "app/wipe_command.h"
#include "support/run_command.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;
namespace fs = std::filesystem;

TEST(CompleteDeletion, TheMenuAsksBothQuestionsAndYesToTheSecondZeroesTheFreeSpace) {
  QTemporaryDir dir;
  const std::string card = dir.filePath(QStringLiteral("card.img")).toStdString();
  fs::copy_file(Image("camera-exfat.img"), card);
  ScriptedWindow w({card});
  w.messages.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
  w.dialog.Command(kDeleteCommand)->trigger();
  ASSERT_EQ(w.messages.shown.size(), 3u);
  EXPECT_EQ(w.messages.shown[0].rfind(app::kWipeQuestion, 0), 0u);
  EXPECT_EQ(w.messages.shown[1], app::kWipeFreeSpaceQuestion);
  EXPECT_EQ(w.messages.lastButtons, MessageButtons::Ok);
  EXPECT_EQ(w.messages.shown[2].rfind(app::kWipeDoneMessage, 0), 0u) << w.messages.shown[2];
  EXPECT_NE(w.messages.shown[2].find("上書きしたほかの空きクラスタ"), std::string::npos) << w.messages.shown[2];
  EXPECT_EQ(vellum::testing::RunCommand("blkls '" + card + "' | tr -d '\\0' | wc -c"), "0\n");
}

}  // namespace
}  // namespace vellum::ui
