// What the window takes as a source: a pipe typed into the open-image
// dialog is refused with a message before anything opens it, and the window
// goes on answering.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "person.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

TEST(WindowSources, APipeOrACharacterDeviceIsRefusedBeforeItIsOpened) {
  QTemporaryDir work;
  const QString pipe = work.filePath(QStringLiteral("card.img"));
  ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
  // Should the window open the pipe after all, a writer comes and goes after
  // a while, so that the test fails instead of hanging with the window.
  std::atomic<bool> finished{false};
  std::thread writer([&] {
    for (int i = 0; i < 200 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (const int fd = ::open(pipe.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
  });

  MainDialog dialog(ImageDrives({Image("fat12.img")}), 0);
  dialog.SetUrlOpener([](const QUrl&) {});
  dialog.show();
  Person person(dialog);
  auto* drives = static_cast<QComboBox*>(dialog.Control(kDriveBoxControlId));
  const int before = drives->count();
  QElapsedTimer took;
  took.start();
  for (const QString& path : {pipe, QStringLiteral("/dev/null")}) {
    person.WillChoosePath(path);
    person.WillAnswer(QMessageBox::Ok);
    person.Choose(kOpenImageCommand);
    EXPECT_TRUE(QTest::qWaitFor([&] { return person.Done(); }, 5000)) << person.Waiting().toStdString();
  }
  EXPECT_LT(took.elapsed(), 9000);  // before the writer would have come
  finished = true;
  writer.join();
  ASSERT_EQ(person.Messages().size(), 2u);
  EXPECT_TRUE(person.Messages()[0].startsWith(pipe + QStringLiteral(" は名前付きパイプ (FIFO) です")))
      << person.Messages()[0].toStdString();
  EXPECT_TRUE(person.Messages()[1].contains(QStringLiteral("キャラクタデバイスです"))) << person.Messages()[1].toStdString();
  EXPECT_EQ(drives->count(), before);
  EXPECT_EQ(drives->currentIndex(), 0);
}

}  // namespace
}  // namespace vellum::ui
