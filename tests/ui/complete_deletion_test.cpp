// Complete deletion from the menu: the first question, then the free-space
// question, and the closing message with what was overwritten.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "app/cluster_range.h"
#include "app/row_item.h"
#include "app/wipe_command.h"
#include "support/run_command.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "person.h"
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

// A camera card searched with the free-cluster scan lists its deleted photos
// twice: by their entries and by their contents. Complete deletion's
// question says which rows it wipes (the entries and their data found
// again) and which stay (a photo whose entry was taken by another file);
// afterwards the list is what a search finds now.
TEST(CompleteDeletion, TheQuestionNamesTheRowsAndTheListIsSearchedAgain) {
  QTemporaryDir dir;
  const QString card = dir.filePath(QStringLiteral("card.img"));
  fs::copy_file(Image("camera-fat32.img"), card.toStdString());
  MainDialog dialog(ImageDrives({card.toStdString()}), 0);
  dialog.SetUrlOpener([](const QUrl&) {});
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  testing::Person person(dialog);
  person.WillAnswer(QMessageBox::Yes);  // the free-cluster scan
  person.Will({QStringLiteral("cluster range, as proposed"),
               [](QWidget* w) { return w->objectName() == QString::number(app::kClusterRangeDialogId); },
               [](QWidget* w) { QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton); }});
  person.Click(kSearchButtonId);
  ASSERT_TRUE(person.Done()) << person.Waiting().toStdString();
  std::vector<int> entries, contents;
  for (int r = 0; r < person.Rows(); ++r)
    (app::IsContentRow(dialog.List(), static_cast<size_t>(r)) ? contents : entries).push_back(r);
  ASSERT_EQ(entries.size(), 5u);
  ASSERT_EQ(contents.size(), 6u);

  person.WillAnswer(QMessageBox::Yes);
  person.WillAnswer(QMessageBox::No);  // not the other free clusters
  person.WillAnswer(QMessageBox::Ok);  // done
  person.Choose(kDeleteCommand);
  ASSERT_TRUE(person.Done()) << person.Waiting().toStdString();
  QString question;
  for (const QString& said : person.Messages())
    if (said.startsWith(QString::fromUtf8(app::kWipeQuestion.data(), app::kWipeQuestion.size()))) question = said;
  EXPECT_TRUE(question.contains(QStringLiteral("一覧の 10 行が復元できなくなります (削除されたファイルとフォルダ 5 行と、その中身として見つかった 5 行)。")))
      << question.toStdString();
  EXPECT_TRUE(question.contains(QStringLiteral("ファイルの中身だけから見つけた 1 行はエントリがないため、次の質問で空きクラスタの上書きを選ばない限り残ります。")))
      << question.toStdString();

  // What is left: the photo found by its content alone.
  ASSERT_EQ(person.Rows(), 1);
  EXPECT_TRUE(app::IsContentRow(dialog.List(), 0));
  EXPECT_EQ(person.Cell(0, 2).trimmed(), QStringLiteral("12000"));
  EXPECT_EQ(dialog.findChild<QLabel*>(QString::number(kFoundCountId))->text(), QStringLiteral("1"));
  EXPECT_EQ(person.Unexpected(), 0);
}

}  // namespace
}  // namespace vellum::ui
