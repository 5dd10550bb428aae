// A saved list finds its own volume again, whatever the drive box holds when
// it is loaded, and restoring its rows reads that volume and no other.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/results_file.h"
#include "cli/search_cli.h"
#include "support/scripted_messages.h"
#include "support/tsk.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui_support.h"

namespace vellum::ui {
namespace {

using namespace vellum::ui::testing;
namespace fs = std::filesystem;

struct Window : ScriptedWindow {
  using ScriptedWindow::ScriptedWindow;
  QComboBox* Drives() { return Find<QComboBox>(dialog, kDriveBoxControlId); }
  std::string DriveText() { return Drives()->currentText().toStdString(); }
  void Search(int drive) {
    Drives()->setCurrentIndex(drive);
    messages.answers = {MessageAnswer::No};  // no free-cluster scan
    dialog.OnSearch();
    messages.shown.clear();
  }
  void Load(const std::string& path) {
    paths.answers.push_front(path);
    dialog.Command(kLoadResultsCommand)->trigger();
  }
};

std::string SavedList(Window& w, const QTemporaryDir& dir) {
  const std::string path = dir.filePath(QStringLiteral("結果")).toStdString();
  w.paths.answers = {path};
  w.dialog.Command(kSaveResultsCommand)->trigger();
  return path;
}

// Saved from partition 2 of a whole-disk image, loaded after a restart in a
// window that has never seen that image: the user is asked, the file dialog
// offers the image by name, and partition 2 is the drive selected.
TEST(ResultsVolume, AListOfAnImageNotOpenOffersToOpenItAndSelectsItsPartition) {
  QTemporaryDir dir;
  std::string path;
  size_t rows = 0;
  {
    Window w({Image("disk-mbr.img")});
    w.Search(1);
    rows = w.dialog.List().RowCount();
    ASSERT_GT(rows, 0u);
    path = SavedList(w, dir);
  }
  Window v({Image("fat12.img")});
  v.messages.answers = {MessageAnswer::Yes};
  v.paths.answers = {Image("disk-mbr.img")};
  v.Load(path);
  ASSERT_FALSE(v.messages.shown.empty());
  EXPECT_EQ(v.messages.shown[0].rfind(app::kOpenImageQuestion, 0), 0u);
  EXPECT_NE(v.messages.shown[0].find("disk-mbr.img#2:/"), std::string::npos);
  EXPECT_EQ(v.paths.initialNames.back(), "disk-mbr.img");
  ASSERT_EQ(v.paths.folders.size(), 1u);
  EXPECT_EQ(v.paths.folders[0], dir.path().toStdString());  // the list's own folder
  EXPECT_EQ(v.dialog.Drives().entries[static_cast<size_t>(v.Drives()->currentIndex())].rootText, "disk-mbr.img#2:/");
  EXPECT_EQ(v.dialog.List().RowCount(), rows);
}

// Declining (or an absent volume) loads nothing and says why; the drive box
// is not moved to some other drive.
TEST(ResultsVolume, AListWhoseVolumeIsAbsentLoadsNothingAndSaysSo) {
  QTemporaryDir dir;
  std::string path;
  {
    Window w({Image("fat16.img")});
    w.Search(0);
    path = SavedList(w, dir);
  }
  Window v({Image("fat12.img"), Image("ntfs-4k.img")});
  v.Drives()->setCurrentIndex(1);
  v.messages.answers = {MessageAnswer::No};
  v.Load(path);
  ASSERT_EQ(v.messages.shown.size(), 2u);
  EXPECT_EQ(v.messages.shown[1], app::VolumeNotFoundMessage("fat16.img:/"));
  EXPECT_EQ(v.dialog.List().RowCount(), 0u);
  EXPECT_EQ(v.Drives()->currentIndex(), 1);
}

// A list saved by the command line stores index 0 (its only drive); the
// window selects the entry showing the list's volume, not its own drive 0.
TEST(ResultsVolume, AListWrittenByTheCommandLineLoadsOnItsOwnDrive) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("cli.tsv")).toStdString();
  std::ostringstream out, err;
  ASSERT_EQ(cli::RunSearch({Image("fat16.img"), "-o", path}, out, err), 0) << err.str();
  Window v({Image("fat12.img"), Image("fat16.img")});
  v.Load(path);
  EXPECT_EQ(v.Drives()->currentIndex(), 1);
  EXPECT_GT(v.dialog.List().RowCount(), 5u);
  EXPECT_TRUE(v.messages.shown.empty());

  // And what the window saves after the same search is that file, but for the drive line.
  Window w({Image("fat16.img")});
  w.Search(0);
  const std::string saved = SavedList(w, dir);
  auto body = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    return text.substr(text.find('\n') + 1);
  };
  EXPECT_EQ(body(saved), body(path));
}

// The drive box moved after the search: the rows are still restored from
// the volume they were found on, byte for byte.
TEST(ResultsVolume, RestoreReadsTheSearchedVolumeAfterTheDriveBoxMoved) {
  Window w({Image("fat16.img"), Image("fat12.img")});
  w.Search(0);
  app::ResultList& list = w.dialog.List();
  std::string first;
  for (size_t row = 0; row < list.RowCount(); ++row)
    if (list.Cell(row, 0) == "big-deleted.bin") {
      list.SetSelected(row, true);
      first = std::string(list.Cell(row, 5));
    }
  ASSERT_FALSE(first.empty());
  w.Drives()->setCurrentIndex(1);
  const fs::path out = fs::temp_directory_path() / ("vellum-ui-rows-" + std::to_string(::getpid()));
  fs::remove_all(out);
  w.paths.answers = {out.string()};
  static_cast<QPushButton*>(w.dialog.Control(kRestoreButtonId))->click();
  std::ifstream in(out / "big-deleted.bin", std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string listing =
      vellum::testing::RunCommand("fls -rd -p '" + Image("fat16.img") + "' | grep 'big-deleted'");
  const std::string inode = listing.substr(listing.find("* ") + 2, listing.find(':') - listing.find("* ") - 2);
  EXPECT_TRUE(bytes.str() == vellum::testing::RunCommand("icat -r '" + Image("fat16.img") + "' " + inode));
  EXPECT_EQ(w.Drives()->currentIndex(), 0);  // the box shows the volume read
  fs::remove_all(out);
}

// A list loaded for another card that goes by the same name: restoring its
// rows asks first, and the answer No (the default) writes none of them.
TEST(ResultsVolume, RowsAnotherCardDoesNotHoldAreAskedAboutNoByDefault) {
  QTemporaryDir dir;
  std::string list;
  {
    Window w({Image("fat16.img")});
    w.Search(0);
    ASSERT_GT(w.dialog.List().RowCount(), 3u);
    list = SavedList(w, dir);
  }
  const fs::path other = fs::path(dir.path().toStdString()) / "other";
  fs::create_directories(other);
  fs::copy_file(Image("fat16-cp932.img"), other / "fat16.img");
  Window w({(other / "fat16.img").string()});
  w.Load(list);
  ASSERT_GT(w.dialog.List().RowCount(), 3u);
  w.dialog.List().SelectAll();
  const fs::path out = fs::path(dir.path().toStdString()) / "restored";
  w.paths.answers = {out.string()};
  w.messages.shown.clear();
  static_cast<QPushButton*>(w.dialog.Control(kRestoreButtonId))->click();
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_NE(w.messages.shown[0].find("このボリュームに見つかりません"), std::string::npos) << w.messages.shown[0];
  EXPECT_NE(w.messages.shown[1].find("このボリュームに見つからない行"), std::string::npos) << w.messages.shown[1];
  EXPECT_TRUE(fs::is_empty(out));
}

std::string Bytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// Saving the list onto the image being searched, even after Qt's own
// "replace?" was answered, is refused with both names, and the image stays.
TEST(ResultsVolume, SavingOntoTheSearchedImageIsRefusedAndItStaysWhole) {
  QTemporaryDir dir;
  const std::string image = dir.filePath(QStringLiteral("card.img")).toStdString();
  fs::copy_file(Image("fat16.img"), image);
  const std::string before = Bytes(image);
  Window w({image});
  w.Search(0);
  ASSERT_GT(w.dialog.List().RowCount(), 0u);
  w.paths.answers = {image, ""};
  w.messages.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
  w.dialog.Command(kSaveResultsCommand)->trigger();
  ASSERT_FALSE(w.messages.shown.empty());
  EXPECT_EQ(w.messages.shown[0], app::SaveOntoSourceMessage(image, image));
  EXPECT_EQ(w.paths.asked, 2);  // the dialog came back; then cancelled
  EXPECT_TRUE(Bytes(image) == before);
}

}  // namespace
}  // namespace vellum::ui
