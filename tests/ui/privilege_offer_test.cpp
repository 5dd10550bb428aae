// A device refused for lack of rights: the window asks whether to start
// again through pkexec, and would run exactly the program with its own
// arguments; nothing is started here.
#include "ui/privilege_offer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/open_volume.h"
#include "support/scripted_messages.h"
#include "ui/main_dialog.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

// Records what would have been started instead of starting it.
struct FakeRestart {
  QString pkexec = QStringLiteral("/usr/bin/pkexec");
  bool actionInstalled = true;
  bool startWorks = true;
  std::vector<RestartCommand> started;
  int quits = 0;

  Restarter Make() {
    return {[this] { return pkexec; }, [this] { return actionInstalled; },
            [this](const RestartCommand& c) {
              started.push_back(c);
              return startWorks;
            },
            [this] { ++quits; }};
  }
};

// How the opening words a refusal: the system's text, then the hint.
const std::string kRefusal = "Permission denied" + std::string(app::kPermissionHint);

struct Offer {
  vellum::testing::ScriptedMessages scripted;
  Messages* inner = &scripted;
  PrivilegeOffer offer{inner};
  FakeRestart restart;

  Offer() { offer.SetRestarter(restart.Make()); }
  MessageAnswer Refuse() { return offer.Show(kRefusal, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok); }
};

TEST(PrivilegeOfferTest, ARefusedDeviceAsksAndYesRestartsThroughPkexecWithTheSameArguments) {
  Offer o;
  o.offer.SetArguments({QStringLiteral("/images/card.img"), QStringLiteral("--x")});
  o.scripted.answers = {MessageAnswer::Yes};
  EXPECT_EQ(o.Refuse(), MessageAnswer::Ok);  // the opening gives up as after its own message
  ASSERT_EQ(o.scripted.shown.size(), 1u);
  EXPECT_EQ(o.scripted.shown[0], std::string("Permission denied") + kRestartAsRootQuestion);
  EXPECT_EQ(o.scripted.lastButtons, MessageButtons::YesNo);
  EXPECT_EQ(o.scripted.lastIcon, MessageIcon::Question);
  ASSERT_EQ(o.restart.started.size(), 1u);
  EXPECT_EQ(o.restart.started[0].program, QStringLiteral("/usr/bin/pkexec"));
  EXPECT_EQ(o.restart.started[0].arguments,
            QStringList({QCoreApplication::applicationFilePath(), QStringLiteral("/images/card.img"),
                         QStringLiteral("--x")}));
  EXPECT_EQ(o.restart.quits, 1);
}

TEST(PrivilegeOfferTest, NoIsTheDefaultAndStartsNothing) {
  Offer o;
  o.Refuse();  // the script has no answer: the box's default, No
  EXPECT_TRUE(o.restart.started.empty());
  EXPECT_EQ(o.restart.quits, 0);
}

TEST(PrivilegeOfferTest, WithoutPkexecOrForOtherMessagesTheTextPassesUnchanged) {
  Offer o;
  o.restart.pkexec.clear();
  o.Refuse();
  ASSERT_EQ(o.scripted.shown.size(), 1u);
  EXPECT_EQ(o.scripted.shown[0], kRefusal);  // the terminal's hint (sudo, disk group) as before
  EXPECT_EQ(o.scripted.lastButtons, MessageButtons::Ok);

  Offer other;
  other.scripted.answers = {MessageAnswer::Yes};
  EXPECT_EQ(other.offer.Show(app::kFreeScanQuestion, MessageButtons::YesNo, MessageIcon::None, MessageAnswer::No),
            MessageAnswer::Yes);
  EXPECT_EQ(other.scripted.shown[0], app::kFreeScanQuestion);
  other.offer.Show(app::kPermissionHint, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  EXPECT_EQ(other.scripted.shown[1], app::kPermissionHint);  // the hint alone is no refusal
  EXPECT_TRUE(other.restart.started.empty());
}

TEST(PrivilegeOfferTest, AFailedStartSaysSoAndTheProgramStays) {
  Offer o;
  o.restart.startWorks = false;
  o.scripted.answers = {MessageAnswer::Yes};
  o.Refuse();
  ASSERT_EQ(o.scripted.shown.size(), 2u);
  EXPECT_EQ(o.scripted.shown[1], kRestartFailedMessage);
  EXPECT_EQ(o.restart.quits, 0);
}

TEST(PrivilegeOfferTest, RelativeImagesBecomeWholePathsAndTheDisplayGoesThroughEnvWithoutTheAction) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile image(dir.filePath(QStringLiteral("card.img")));
  ASSERT_TRUE(image.open(QIODevice::WriteOnly));
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  // pkexec starts in root's home folder: "card.img" would name nothing there.
  const RestartCommand direct = PkexecCommand(QStringLiteral("/usr/bin/pkexec"), QStringLiteral("/usr/bin/vellum"),
                                              {QStringLiteral("card.img"), QStringLiteral("missing.img")});
  const RestartCommand viaEnv =
      PkexecCommand(QStringLiteral("/usr/bin/pkexec"), QStringLiteral("/usr/bin/vellum"), {QStringLiteral("card.img")},
                    {QStringLiteral("DISPLAY=:5"), QStringLiteral("XAUTHORITY=/tmp/x")});
  QDir::setCurrent(before);
  const QString whole = QFileInfo(dir.filePath(QStringLiteral("card.img"))).absoluteFilePath();
  EXPECT_EQ(direct.arguments, QStringList({QStringLiteral("/usr/bin/vellum"), whole, QStringLiteral("missing.img")}));
  EXPECT_EQ(viaEnv.arguments,
            QStringList({QStringLiteral("/usr/bin/env"), QStringLiteral("DISPLAY=:5"), QStringLiteral("XAUTHORITY=/tmp/x"),
                         QStringLiteral("/usr/bin/vellum"), whole}));
}

TEST(PrivilegeOfferTest, RootIsNeverOfferedARestartAsRoot) {
  if (geteuid() != 0) GTEST_SKIP() << "runs as root only";
  EXPECT_TRUE(SystemRestarter().findPkexec().isEmpty());
}

// The window's search, on an image its user may not read. Root reads any
// file, so this needs an ordinary user.
TEST(PrivilegeOfferTest, TheWindowsSearchOffersTheRestartForAnUnreadableImage) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file: no refusal to provoke";
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("locked.img"));
  ASSERT_TRUE(QFile::copy(QString::fromStdString(Image("fat12.img")), path));
  MainDialog dialog(ImageDrives({path.toStdString()}), 0);
  ASSERT_TRUE(QFile::setPermissions(path, {}));
  vellum::testing::ScriptedMessages messages;
  FakeRestart restart;
  dialog.SetMessages(&messages);
  dialog.Privileges().SetRestarter(restart.Make());
  dialog.Privileges().SetArguments({path});
  messages.answers = {MessageAnswer::Yes};
  dialog.OnSearch();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].ends_with(kRestartAsRootQuestion)) << messages.shown[0];
  ASSERT_EQ(restart.started.size(), 1u);
  EXPECT_EQ(restart.started[0].arguments.last(), path);
}

}  // namespace
}  // namespace vellum::ui
