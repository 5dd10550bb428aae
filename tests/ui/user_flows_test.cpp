// The main window used as a person uses it: rows chosen with the mouse and
// the keyboard, commands started from the buttons and the menu, and every
// dialog answered with its own buttons. What is checked is what the person
// gets: the files written, the image on disk, the rows and lines shown.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <set>
#include <vector>

#include "app/restore_command.h"
#include "app/wipe_command.h"
#include "app/search_command.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "person.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;

// The main window over image files, with its own message boxes and file
// dialogs: nothing is scripted but the person.
struct Desk {
  MainDialog dialog;
  Person person{dialog};

  explicit Desk(const std::vector<std::string>& images) : dialog(ImageDrives(images), 0) {
    dialog.SetUrlOpener([](const QUrl&) {});
    dialog.show();
    // The window a person just opened is the active one, whatever other
    // tests left behind.
    QApplication::setActiveWindow(&dialog);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
  }
  // The search button, the free-cluster question answered No.
  void Search(const QString& filter = {}) {
    auto* edit = dialog.findChild<QLineEdit*>(QString::number(kFilterEditId));
    edit->selectAll();
    if (filter.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
    else QTest::keyClicks(edit, filter);
    person.WillAnswer(QMessageBox::No);
    person.Click(kSearchButtonId);
  }
  // The restore button: the folder typed into the folder dialog, the summary
  // acknowledged.
  void RestoreTo(const QString& folder) {
    person.WillChoosePath(folder);
    person.WillAnswer(QMessageBox::Ok);
    person.Click(kRestoreButtonId);
  }
  int RowNamed(const QString& name) {
    for (int r = 0; r < person.Rows(); ++r)
      if (person.Cell(r, 0) == name) return r;
    return -1;
  }
};

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Sha256Of(const QString& path) {
  return QCryptographicHash::hash(Bytes(path), QCryptographicHash::Sha256).toHex();
}

// Every regular file below `root`, by its path below it.
std::set<QString> FilesBelow(const QString& root) {
  std::set<QString> files;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) files.insert(QDir(root).relativeFilePath(it.next()));
  return files;
}

// The files a row restores to: its folder below the root text, then its name.
QString RelativePath(const QString& folder, const QString& name) {
  const int root = folder.indexOf(QStringLiteral(":/"));
  const QString below = root < 0 ? QString() : folder.mid(root + 2);
  return below.isEmpty() ? name : below + QLatin1Char('/') + name;
}

// What the command line's walk restore writes for the same image: the
// reference every restore from the window is compared with.
const QString& WalkRestoreOf(const std::string& image) {
  static std::map<std::string, QString> done;
  static QTemporaryDir root;
  auto it = done.find(image);
  if (it != done.end()) return it->second;
  const QString to = root.filePath(QString::number(done.size()));
  QProcess cli;
  cli.start(QStringLiteral(VELLUM_CLI),
            {QStringLiteral("restore"), QString::fromStdString(image), QStringLiteral("--to"), to});
  cli.waitForFinished(-1);
  return done.emplace(image, to).first->second;
}

void ExpectSameAsWalkRestore(const std::string& image, const QString& restored,
                             const std::set<QString>& expected) {
  EXPECT_EQ(FilesBelow(restored), expected);
  const QString& walk = WalkRestoreOf(image);
  for (const QString& file : expected) {
    ASSERT_TRUE(QFile::exists(walk + '/' + file)) << file.toStdString();
    EXPECT_EQ(Bytes(restored + '/' + file), Bytes(walk + '/' + file)) << file.toStdString();
  }
}

std::set<QString> PathsOf(Person& person, const std::vector<int>& rows) {
  std::set<QString> paths;
  for (int r : rows) paths.insert(RelativePath(person.Cell(r, 1), person.Cell(r, 0)));
  return paths;
}

TEST(PersonAtTheWindow, TheClickedRowIsTheRowRestored) {
  const std::string image = Image("fat16.img");
  Desk desk({image});
  desk.Search();
  const int row = desk.RowNamed(QStringLiteral("Deleted long name in root.txt"));
  ASSERT_GE(row, 0);
  desk.person.ClickRow(row);
  QTemporaryDir to;
  desk.RestoreTo(to.path());
  EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  EXPECT_EQ(desk.person.Unexpected(), 0);
  ExpectSameAsWalkRestore(image, to.path(), {QStringLiteral("Deleted long name in root.txt")});
}

// The same disk opened as a BIOS disk from the menu: every drive of the box
// is read through the disk BIOS from then on, and lists and restores what
// the raw volume does.
// The rows of a results file the command line wrote, as cells.
std::vector<QStringList> ResultsRows(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  std::vector<QStringList> rows;
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  for (int i = 2; i < lines.size(); ++i) rows.push_back(lines[i].split(QLatin1Char('\t')));
  return rows;
}

QByteArray IcatOf(const std::string& image, const QString& record) {
  QProcess icat;
  icat.start(QStringLiteral("icat"), {QString::fromStdString(image), record.trimmed()});
  icat.waitForFinished(-1);
  return icat.readAllStandardOutput();
}

// An NTFS search reads the table on a second thread while the window lists:
// the window shows what the command line lists, and the rows a person picks
// restore the bytes The Sleuth Kit reads from those records.
TEST(PersonAtTheWindow, AnNtfsSearchListsWhatTheCommandLineListsAndRestoresWhatIcatReads) {
  const std::string image = Image("ntfs-512.img");
  QTemporaryDir work;
  const QString listing = work.filePath(QStringLiteral("cli.vres"));
  QProcess cli;
  cli.start(QStringLiteral(VELLUM_CLI), {QStringLiteral("search"), QString::fromStdString(image),
                                         QStringLiteral("--no-free-scan"), QStringLiteral("-o"), listing});
  ASSERT_TRUE(cli.waitForFinished(60000));
  const std::vector<QStringList> expected = ResultsRows(listing);
  ASSERT_GE(expected.size(), 8u);

  Desk desk({image});
  desk.Search();
  ASSERT_EQ(desk.person.Rows(), static_cast<int>(expected.size()));
  for (int r = 0; r < desk.person.Rows(); ++r)
    for (int c : {0, 1, 2, 5}) EXPECT_EQ(desk.person.Cell(r, c), expected[static_cast<size_t>(r)].value(c)) << r;

  std::vector<int> files;
  for (int r = 0; r < desk.person.Rows() && files.size() < 3; ++r)
    if (!desk.person.Cell(r, 2).isEmpty()) files.push_back(r);
  ASSERT_EQ(files.size(), 3u);
  desk.person.ClickRow(files[0]);
  desk.person.ClickRow(files[1], Qt::ControlModifier);
  desk.person.ClickRow(files[2], Qt::ControlModifier);
  QTemporaryDir to;
  desk.RestoreTo(to.path());
  EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  EXPECT_EQ(FilesBelow(to.path()), PathsOf(desk.person, files));
  for (int r : files) {
    const QString restored = to.path() + '/' + RelativePath(desk.person.Cell(r, 1), desk.person.Cell(r, 0));
    EXPECT_EQ(Bytes(restored), IcatOf(image, desk.person.Cell(r, 5))) << restored.toStdString();
  }
}

// The emptied Recycle Bin: a $R row names its original path and deletion
// time on hover; restoring it asks whether to put it back there, and Yes
// does. A stream's row restores the stream beside its file.
TEST(PersonAtTheWindow, ABinRowTellsWhereItWasAndGoesBackThereWhenAsked) {
  const std::string image = Image("ntfs-streams.img");
  Desk desk({image});
  desk.Search();
  const int bin = desk.RowNamed(QStringLiteral("$RABC123.docx"));
  const int stream = desk.RowNamed(QStringLiteral("Report.docx:summary"));
  ASSERT_GE(bin, 0);
  ASSERT_GE(stream, 0);
  const QString tip = desk.dialog.Model().data(desk.dialog.Model().index(bin, 0), Qt::ToolTipRole).toString();
  EXPECT_TRUE(tip.contains(QStringLiteral("元の場所 C:\\Users\\owner\\Documents\\report.docx (削除 2024/05/0")))
      << tip.toStdString();
  desk.person.ClickRow(bin);
  desk.person.ClickRow(stream, Qt::ControlModifier);
  QTemporaryDir to;
  desk.person.WillChoosePath(to.path());
  desk.person.WillAnswer(QMessageBox::Yes);  // under the original names
  desk.person.WillAnswer(QMessageBox::Ok);
  desk.person.Click(kRestoreButtonId);
  EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  EXPECT_EQ(FilesBelow(to.path()),
            (std::set<QString>{QStringLiteral("Users/owner/Documents/report.docx"), QStringLiteral("Report.docx:summary")}));
  EXPECT_EQ(Bytes(to.filePath(QStringLiteral("Users/owner/Documents/report.docx"))), IcatOf(image, QStringLiteral("73")));
  EXPECT_EQ(Bytes(to.filePath(QStringLiteral("Report.docx:summary"))), IcatOf(image, QStringLiteral("64-128-4")));
}

TEST(PersonAtTheWindow, ADiskOpenedAsABiosDiskListsAndRestoresWhatTheRawVolumeDoes) {
  const std::string disk = Image("disk-mbr.img");
  std::vector<QString> rows[2];
  QTemporaryDir to[2];
  for (int bios : {0, 1}) {
    Desk desk({disk});
    if (bios) {
      desk.person.WillChoosePath(QString::fromStdString(disk));
      desk.person.Choose(kBiosDiskCommand);
      EXPECT_EQ(desk.dialog.State().isNt, 0);
    }
    desk.Search();
    for (int r = 0; r < desk.person.Rows(); ++r) rows[bios].push_back(desk.person.Cell(r, 1) + '|' + desk.person.Cell(r, 0));
    const int row = desk.RowNamed(QStringLiteral("$ELETED.TXT"));
    ASSERT_GE(row, 0);
    desk.person.ClickRow(row);
    desk.RestoreTo(to[bios].path());
    EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
    EXPECT_EQ(desk.person.Unexpected(), 0);
  }
  EXPECT_FALSE(rows[0].empty());
  EXPECT_EQ(rows[1], rows[0]);
  const QString file = QStringLiteral("/$ELETED.TXT");
  EXPECT_FALSE(Bytes(to[0].path() + file).isEmpty());
  EXPECT_EQ(Bytes(to[1].path() + file), Bytes(to[0].path() + file));
}

TEST(PersonAtTheWindow, AClickAfterCtrlASelectsThatRowAlone) {
  const std::string image = Image("fat16.img");
  Desk desk({image});
  desk.Search();
  QTest::keyClick(&desk.person.Table(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(static_cast<int>(desk.person.HighlightedRows().size()), desk.person.Rows());
  EXPECT_EQ(desk.dialog.List().SelectedRows().size(), static_cast<size_t>(desk.person.Rows()));
  const int row = desk.RowNamed(QStringLiteral("big-deleted.bin"));
  ASSERT_GE(row, 0);
  desk.person.ClickRow(row);
  QTemporaryDir to;
  desk.RestoreTo(to.path());
  ExpectSameAsWalkRestore(image, to.path(), {QStringLiteral("big-deleted.bin")});
}

TEST(PersonAtTheWindow, ShiftAndCtrlClicksThenASortRestoreTheHighlightedRows) {
  const std::string image = Image("fat16.img");
  Desk desk({image});
  desk.Search(QStringLiteral("TXT"));  // files only
  ASSERT_GE(desk.person.Rows(), 6);
  desk.person.ClickRow(0);
  desk.person.ClickRow(2, Qt::ShiftModifier);
  desk.person.ClickRow(4, Qt::ControlModifier);
  const std::set<QString> chosen = PathsOf(desk.person, {0, 1, 2, 4});
  desk.person.ClickHeading(2);  // by size: the rows move, the selection with them
  std::vector<int> highlighted;
  for (const QModelIndex& index : desk.person.Table().selectionModel()->selectedRows())
    highlighted.push_back(index.row());
  EXPECT_EQ(PathsOf(desk.person, highlighted), chosen);
  QTemporaryDir to;
  desk.RestoreTo(to.path());
  ExpectSameAsWalkRestore(image, to.path(), chosen);
}

TEST(PersonAtTheWindow, KeyboardOnly) {
  const std::string image = Image("fat16.img");
  Desk desk({image});
  auto* filter = desk.dialog.findChild<QLineEdit*>(QString::number(kFilterEditId));
  QTest::mouseClick(filter, Qt::LeftButton);  // the one click: into the name box
  QTest::keyClicks(filter, QStringLiteral("txt"));
  desk.person.WillAnswer(QMessageBox::No);
  QTest::keyClick(filter, Qt::Key_Return);
  ASSERT_GE(desk.person.Rows(), 4);
  ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 2000));
  for (int i = 0; i < 20 && QApplication::focusWidget() != &desk.person.Table(); ++i) {
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  ASSERT_EQ(QApplication::focusWidget(), &desk.person.Table());
  QTest::keyClick(&desk.person.Table(), Qt::Key_Home);
  QTest::keyClick(&desk.person.Table(), Qt::Key_Down);
  QTest::keyClick(&desk.person.Table(), Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(&desk.person.Table(), Qt::Key_Down, Qt::ShiftModifier);
  const std::set<QString> chosen = PathsOf(desk.person, {1, 2, 3});
  QTemporaryDir to;
  desk.person.WillChoosePath(to.path());
  desk.person.WillAnswer(QMessageBox::Ok);
  // On to the restore button with Tab, and Space presses it.
  QWidget* restore = desk.dialog.Control(kRestoreButtonId);
  for (int i = 0; i < 20 && QApplication::focusWidget() != restore; ++i)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), restore);
  EXPECT_EQ(PathsOf(desk.person, {1, 2, 3}), chosen);  // leaving the list kept its selection
  QTest::keyClick(restore, Qt::Key_Space);
  EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  ExpectSameAsWalkRestore(image, to.path(), chosen);
}

TEST(PersonAtTheWindow, ASavedListLoadedAfterARestartRestoresTheSameBytes) {
  const std::string image = Image("fat16.img");
  QTemporaryDir work;
  const QString list = work.filePath(QStringLiteral("found.tsv"));
  std::set<QString> chosen;
  {
    Desk desk({image});
    desk.Search();
    desk.person.WillChoosePath(list);
    desk.person.Choose(kSaveResultsCommand);
    EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
    ASSERT_TRUE(QFile::exists(list));
  }
  Desk desk({image});  // the program started again: an empty list
  ASSERT_EQ(desk.person.Rows(), 0);
  desk.person.WillChoosePath(list);
  desk.person.Choose(kLoadResultsCommand);
  ASSERT_GT(desk.person.Rows(), 2);
  const int a = desk.RowNamed(QStringLiteral("Deleted inside folder.txt"));
  const int b = desk.RowNamed(QStringLiteral("Deleted-15c.txt"));
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  desk.person.ClickRow(a);
  desk.person.ClickRow(b, Qt::ControlModifier);
  chosen = PathsOf(desk.person, {a, b});
  QTemporaryDir to;
  desk.RestoreTo(to.path());
  EXPECT_EQ(desk.person.Unexpected(), 0);
  ExpectSameAsWalkRestore(image, to.path(), chosen);
}

TEST(PersonAtTheWindow, CompleteDeletionAsksNamingTheImageAndDoesWhatWasAnswered) {
  QTemporaryDir work;
  const QString copy = work.filePath(QStringLiteral("card.img"));
  ASSERT_TRUE(QFile::copy(QString::fromStdString(Image("fat16.img")), copy));
  const QByteArray before = Sha256Of(copy);
  {
    Desk desk({copy.toStdString()});
    desk.person.WillAnswer(QMessageBox::No);
    desk.person.Choose(kDeleteCommand);
    EXPECT_TRUE(desk.person.Done());
    ASSERT_FALSE(desk.person.Messages().empty());
    const QString question = desk.person.Messages().front();
    EXPECT_TRUE(question.startsWith(QString::fromUtf8(app::kWipeQuestion.data(), app::kWipeQuestion.size())));
    EXPECT_TRUE(question.contains(QStringLiteral("\n\ncard.img:/  ") + copy)) << question.toStdString();
  }
  EXPECT_EQ(Sha256Of(copy), before);  // No wrote nothing

  Desk desk({copy.toStdString()});
  desk.person.WillAnswer(QMessageBox::Yes);
  desk.person.Choose(kDeleteCommand);  // further questions keep their default
  EXPECT_NE(Sha256Of(copy), before);
  bool done = false;
  for (const QString& text : desk.person.Messages())
    done |= text.startsWith(QString::fromUtf8(app::kWipeDoneMessage.data(), app::kWipeDoneMessage.size()));
  EXPECT_TRUE(done);
  desk.Search();
  EXPECT_EQ(desk.person.Rows(), 0);
}

TEST(PersonAtTheWindow, ACancelledScanKeepsWhatItFoundAndSaysSo) {
  QTemporaryDir work;
  const QString card = work.filePath(QStringLiteral("card.img"));
  QProcess make;
  make.start(QStringLiteral("bash"), {QStringLiteral(VELLUM_TEST_DATA "/../ui/scan_card.sh"), card,
                                      QStringLiteral(VELLUM_CLI)});
  ASSERT_TRUE(make.waitForFinished(60000));
  if (make.exitCode() != 0) GTEST_SKIP() << "mkfs.fat and mtools make the card: " << make.readAllStandardError().toStdString();

  Desk desk({card.toStdString()});
  desk.person.WillAnswer(QMessageBox::Yes);  // scan every cluster
  desk.person.WillTypeRange(QStringLiteral("2"), QStringLiteral("130812"));
  desk.person.WillCancelProgressWhen([&desk] {
    return desk.dialog.findChild<QLabel*>(QString::number(kFoundCountId))->text().toInt() >= 1;
  });
  desk.person.Choose(kFullScanCommand);
  EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  const int found = desk.person.Rows();
  ASSERT_GE(found, 1);
  EXPECT_EQ(desk.dialog.findChild<QLabel*>(QStringLiteral("statusText"))->text(),
            QString::fromUtf8(kScanCancelledStatus));

  // The same scan to its end: what the cancelled one listed is its beginning.
  Desk whole({card.toStdString()});
  whole.person.WillAnswer(QMessageBox::Yes);
  whole.person.WillTypeRange(QStringLiteral("2"), QStringLiteral("130812"));
  whole.person.Choose(kFullScanCommand);
  ASSERT_GT(whole.person.Rows(), found);
  for (int r = 0; r < found; ++r)
    for (int c : {0, 1, 2, 5}) EXPECT_EQ(desk.person.Cell(r, c), whole.person.Cell(r, c)) << r;
  EXPECT_TRUE(whole.dialog.findChild<QLabel*>(QStringLiteral("statusText"))->text().isEmpty());
}

// A row whose clusters are not all free is grey, and every row's tooltip
// names its state.
void ExpectStatesShown(Desk& desk) {
  const auto data = [&](const QString& name, int role) {
    const int row = desk.RowNamed(name);
    EXPECT_GE(row, 0) << name.toStdString();
    return desk.dialog.Model().data(desk.dialog.Model().index(row, 2), role);
  };
  EXPECT_FALSE(data(QStringLiteral("p.bin"), Qt::ForegroundRole).isValid());
  EXPECT_TRUE(data(QStringLiteral("p.bin"), Qt::ToolTipRole).toString().contains(QStringLiteral("状態: 上書きなし")));
  for (const char* name : {"crossed.bin", "old.bin", "fragmented.bin"})
    EXPECT_EQ(data(QString::fromUtf8(name), Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray)) << name;
  EXPECT_TRUE(data(QStringLiteral("crossed.bin"), Qt::ToolTipRole)
                  .toString()
                  .contains(QStringLiteral("状態: 一部上書き (2/8 クラスタ)")));
  EXPECT_TRUE(data(QStringLiteral("fragmented.bin"), Qt::ToolTipRole).toString().contains(QStringLiteral("状態: 不明")));
}

// After a search, and after the saved list is loaded again in a program just
// started (the volume it names is opened for it); a sort keeps each row's own.
TEST(UserFlows, RowsThatMayNotComeBackWholeAreGreyWithTheirStateOnHover) {
  QTemporaryDir work;
  const QString list = work.filePath(QStringLiteral("found.tsv"));
  {
    Desk desk({Image("exfat-runs.img")});
    desk.person.Choose(kThoroughCommand);
    desk.person.Click(kInUseCheckId);
    desk.Search();
    ASSERT_TRUE(QTest::qWaitFor([&] { return desk.person.Rows() == 6; }, 5000)) << desk.person.Rows();
    desk.person.ClickHeading(0);
    ExpectStatesShown(desk);
    desk.person.WillChoosePath(list);
    desk.person.Choose(kSaveResultsCommand);
    EXPECT_TRUE(desk.person.Done()) << desk.person.Waiting().toStdString();
  }
  Desk desk({Image("fat12.img"), Image("exfat-runs.img")});
  desk.person.WillChoosePath(list);
  desk.person.Choose(kLoadResultsCommand);
  ASSERT_EQ(desk.person.Rows(), 6);
  ExpectStatesShown(desk);
}

}  // namespace
}  // namespace vellum::ui
