#include "app/search_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/cancelling_progress.h"
#include "support/scripted_messages.h"
#include "volume/source.h"

namespace vellum::app {
namespace {

using testing::ScriptedMessages;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

struct Fixture {
  volume::ScanState state;
  ResultList list;
  ScriptedMessages messages;
  volume::DriveTable drives;
  int focused = 0;
  CommandContext context{state, list, messages};

  explicit Fixture(std::vector<std::string> images) {
    for (const std::string& image : images) {
      std::string error;
      EXPECT_TRUE(volume::AppendImage(drives, image, error)) << error;
    }
    context.volume.drives = &drives;
    context.volume.selectedIndex = drives.entries.empty() ? -1 : 0;
    context.volume.focus = [this](int id) { focused = id; };
  }
};

TEST(OpenVolumeChecks, NoDriveAndWildcardAreRefusedBeforeAnythingChanges) {
  Fixture f({Image("fat12.img")});
  f.context.volume.selectedIndex = -1;
  f.list.SetClusterColumn(volume::kFat12);
  EXPECT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 0);
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0], kSelectDriveMessage);
  EXPECT_EQ(f.focused, kDriveBoxId);
  EXPECT_EQ(f.list.ColumnCount(), 6u);  // untouched

  f.context.volume.selectedIndex = 0;
  f.context.volume.filterText = "*.TXT";
  EXPECT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 0);
  EXPECT_EQ(f.messages.shown.back(), kWildcardMessage);
  EXPECT_EQ(f.focused, kFileNameEditId);
  f.context.volume.filterText = "写真";  // no byte of it is '*'
  EXPECT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 1);
}

TEST(OpenVolumeChecks, ClusterColumnFollowsTheFileSystem) {
  Fixture f({Image("fat16.img"), Image("ntfs-4k.img")});
  f.list.SetClusterColumn(volume::kNtfs);
  f.list.AddScanColumns();
  ASSERT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 1);
  ASSERT_EQ(f.list.ColumnCount(), 6u);  // scan columns 6 and 7 are gone
  EXPECT_EQ(f.list.ColumnAt(5).heading, "クラスタ");
  EXPECT_EQ(f.list.ColumnAt(5).width, 70);
  EXPECT_EQ(f.state.fat.size(), f.state.fatSectors * 512u);
  EXPECT_EQ(f.state.fatWork, f.state.fat);

  f.context.volume.selectedIndex = 1;
  ASSERT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 1);
  EXPECT_EQ(f.list.ColumnAt(5).heading, "ファイル番号");
  EXPECT_EQ(f.list.ColumnAt(5).width, 90);
  EXPECT_EQ(f.state.mftRecord0.size(), 1024u);
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST(OpenVolumeChecks, UnreadableAndUnrecognisedSourcesSaySo) {
  const auto dir = std::filesystem::temp_directory_path() / "vellum-open-volume-test";
  std::filesystem::create_directories(dir);
  const std::string text = (dir / "notes.img").string();
  std::ofstream(text) << std::string(4096, 'x');
  Fixture f({text});
  EXPECT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 0);
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0], kUnsupportedDriveMessage);

  std::filesystem::remove(text);  // gone between listing and opening
  EXPECT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 0);
  EXPECT_NE(f.messages.shown.back().find("見つかりません"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(SearchCommand, ListsAsksOnceAndReleasesTheWorkingTable) {
  Fixture f({Image("fat32-512.img")});
  OnSearch(f.context);
  EXPECT_GT(f.list.RowCount(), 10u);
  EXPECT_EQ(f.list.FoundCountText(), std::to_string(f.list.RowCount()));
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0], kFreeScanQuestion);
  EXPECT_TRUE(f.state.fatWork.empty());

  // A second search starts from an empty list.
  f.context.options.filter = "NO SUCH NAME";
  OnSearch(f.context);
  EXPECT_EQ(f.list.RowCount(), 0u);
  EXPECT_EQ(f.messages.shown.back(), kNothingFoundMessage);
}

TEST(SearchCommand, CancelledWalkAsksNothingButReportsAnEmptyList) {
  Fixture f({Image("fat12.img")});
  f.context.newProgress = [] { return std::make_unique<testing::CancellingProgress>(); };
  OnSearch(f.context);
  EXPECT_EQ(f.state.cancelled, 1);
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0], kNothingFoundMessage);
}

}  // namespace
}  // namespace vellum::app

namespace vellum::app {
namespace {

TEST(RemovableVolumes, SerialIsRecordedAndARestoreInsistsOnTheSameDisk) {
  Fixture f({Image("fat12.img"), Image("fat16.img")});
  f.drives.entries[0].driveType = volume::kDriveRemovable;
  f.drives.entries[1].driveType = volume::kDriveRemovable;
  ASSERT_EQ(OpenVolume(f.state, f.context.volume, f.list, f.messages), 1);
  EXPECT_EQ(f.state.savedSerial, 0x0F12F12Au);
  EXPECT_EQ(f.state.savedLabel, "VELLUMFAT12");

  // A restore finds another disk in the drive: Retry looks again, Cancel gives up.
  f.state.operationMode = volume::kModeRestore;
  f.state.volumeHandle = volume::OpenSource(Image("fat16.img"), 0).device;
  f.messages.answers = {MessageAnswer::Retry, MessageAnswer::Cancel};
  EXPECT_FALSE(CheckRemovableVolume(f.state, f.messages));
  ASSERT_EQ(f.messages.shown.size(), 2u);
  EXPECT_EQ(f.messages.shown[0], kOtherDiskMessage);
  EXPECT_EQ(f.messages.lastButtons, MessageButtons::RetryCancel);

  // The search's own disk passes.
  f.state.volumeHandle = volume::OpenSource(Image("fat12.img"), 0).device;
  EXPECT_TRUE(CheckRemovableVolume(f.state, f.messages));
}

TEST(RemovableVolumes, AnUnformattedDiskCanBeRetried) {
  Fixture f({Image("fat12.img")});
  f.state.rootPath = "card:/";
  f.state.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::vector<uint8_t>(4096, 0));
  f.messages.answers = {MessageAnswer::Cancel};
  EXPECT_FALSE(CheckRemovableVolume(f.state, f.messages));
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0], kUnformattedMessage);
  // Unreadable: cannot access, and the system's reason; asking again would not help.
  f.state.volumeHandle = std::make_unique<platform::MemoryBlockDevice>(std::vector<uint8_t>(100, 0));
  EXPECT_FALSE(CheckRemovableVolume(f.state, f.messages));
  EXPECT_EQ(f.messages.shown.back().substr(0, 6), "card:/");
  EXPECT_EQ(f.messages.lastButtons, MessageButtons::Ok);
  EXPECT_EQ(f.messages.lastIcon, MessageIcon::Stop);
}

}  // namespace
}  // namespace vellum::app
