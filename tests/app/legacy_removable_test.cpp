// The legacy path's removable drives over the emulated disk BIOS: a floppy
// drive read as FAT12 through its diskette unit, any other removable unit
// found by its sector 0 (a FAT boot sector, else the first FAT partition of
// its table), a drive without a unit, and a fixed drive without a partition.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/legacy_opening.h"
#include "app/open_volume.h"
#include "app/search_command.h"
#include "platform/device_open.h"
#include "platform/disk_bios.h"
#include "support/command_fixture.h"
#include "volume/bios_disks.h"

namespace vellum::app {
namespace {

using testing::Command;
using testing::TempDir;

std::string Image(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

std::unique_ptr<platform::BlockDevice> Disk(const std::string& path) {
  platform::OpenResult opened = platform::OpenDevice(path);
  EXPECT_NE(opened.device, nullptr) << path;
  return std::move(opened.device);
}

std::vector<std::string> Rows(const ResultList& l) {
  std::vector<std::string> rows;
  for (size_t r = 0; r < l.RowCount(); ++r) {
    std::string line;
    for (size_t c = 0; c < l.ColumnCount(); ++c) line += std::string(l.Cell(r, c)) + '\t';
    rows.push_back(line + std::to_string(l.DataWord(r)));
  }
  return rows;
}

// The drives of `image` on the legacy path, its BIOS units added by the test
// before Enter() lists their partitions and pairs the drives with them.
struct LegacyDesk {
  Command command;
  platform::EmulatedDiskBios bios;
  volume::BiosDiskTables tables;
  bool ended = false;

  explicit LegacyDesk(const std::string& image) : command(image) {
    command.context.volume.endProgram = [this] { ended = true; };
  }
  // Not a hard disk to the BIOS: 32 sectors a track.
  void AddRemovableUnit(const std::string& path) { EXPECT_EQ(bios.AddUnit(Disk(path), 16, 32, true) >= 0x80, true); }
  void Enter() {
    volume::EnumerateBiosDisks(bios, tables);
    volume::PairLegacyDrives(command.drives, tables, DriveVolumeSerial);
    command.state.isNt = 0;
    command.state.bios = &bios;
    command.state.biosTables = &tables;
  }
  int Search(int32_t index) {
    command.context.volume.selectedIndex = index;
    return OnSearch(command.context);
  }
};

// What the raw volume of `image`'s drive `index` lists, under `root`.
std::vector<std::string> RawRows(const std::string& image, int32_t index, const std::string& root = "") {
  Command raw(image);
  if (!root.empty()) raw.drives.entries[static_cast<size_t>(index)].rootText = root;
  raw.context.volume.selectedIndex = index;
  EXPECT_EQ(OnSearch(raw.context), 1);
  return Rows(raw.list);
}

TEST(LegacyRemovable, AFloppyDriveIsFat12ThroughItsDisketteUnit) {
  const std::string image = Image("fat12.img");
  LegacyDesk desk(image);
  desk.command.drives.entries[0].rootText = "fd0:/";
  uint32_t heads = 0, spt = 0;
  auto disk = Disk(image);
  platform::GeometryFromDisketteBoot(*disk, heads, spt);
  EXPECT_EQ(heads * 100 + spt, 2u * 100 + 18u);
  ASSERT_EQ(desk.bios.AddDisketteUnit(std::move(disk), heads, spt), 0);
  desk.Enter();
  ASSERT_EQ(desk.command.drives.entries[0].driveType, volume::kDriveRemovable);
  ASSERT_EQ(desk.command.drives.entries[0].unitByte, 0);
  EXPECT_EQ(desk.Search(0), 1);
  EXPECT_EQ(desk.command.state.fsKind, volume::kFat12);
  EXPECT_EQ(desk.command.state.lbaSupported, 0);  // a diskette takes CHS transfers only
  EXPECT_FALSE(desk.command.list.RowCount() == 0);
  EXPECT_EQ(Rows(desk.command.list), RawRows(image, 0, "fd0:/"));
  EXPECT_EQ(desk.command.state.savedLabel, "VELLUMFAT12");  // the removable-disk check ran

  // B: is the second diskette unit, whatever else is listed before it.
  volume::DriveTable drives;
  drives.entries.resize(2);
  drives.entries[0].rootText = "card.img:/";
  drives.entries[1].rootText = "fd1:/";
  volume::PairLegacyDrives(drives, desk.tables, [](const volume::DriveEntry&) { return 0u; });
  EXPECT_EQ(drives.entries[1].unitByte, 1);
}

TEST(LegacyRemovable, AnyOtherUnitIsReadBySectorZeroOrItsPartitionTable) {
  // A FAT boot sector in sector 0, told by its type text.
  for (const auto& [name, kind] : {std::pair{"fat12.img", volume::kFat12}, std::pair{"fat16.img", volume::kFat16},
                                   std::pair{"fat32-512.img", volume::kFat32}}) {
    SCOPED_TRACE(name);
    LegacyDesk desk(Image(name));
    desk.AddRemovableUnit(Image(name));
    desk.Enter();
    ASSERT_EQ(desk.command.drives.entries[0].unitByte, 0x80);
    EXPECT_EQ(desk.Search(0), 1);
    EXPECT_EQ(desk.command.state.fsKind, kind);
    EXPECT_EQ(desk.command.state.partitionStart, 0u);
    EXPECT_EQ(Rows(desk.command.list), RawRows(Image(name), 0));
  }
  // A partitioned disk: its first FAT partition, through the unit's table.
  const std::string disk = Image("disk-mbr.img");
  LegacyDesk desk(disk);
  desk.AddRemovableUnit(disk);
  desk.Enter();
  EXPECT_EQ(desk.Search(0), 1);
  EXPECT_EQ(desk.command.state.fsKind, volume::kFat16);
  EXPECT_EQ(desk.command.state.partitionStart, 2048u);
  EXPECT_EQ(Rows(desk.command.list), RawRows(disk, 0));

  // An NTFS volume is none of the FATs the legacy path reads.
  LegacyDesk ntfs(Image("ntfs-512.img"));
  ntfs.AddRemovableUnit(Image("ntfs-512.img"));
  ntfs.Enter();
  EXPECT_EQ(ntfs.Search(0), 0);
  ASSERT_FALSE(ntfs.command.messages.shown.empty());
  EXPECT_EQ(ntfs.command.messages.shown.back(), kUnsupportedDriveMessage);
}

TEST(LegacyRemovable, ABlankDiskIsUnformattedAndCanBeRetried) {
  TempDir dir;
  const std::string blank = dir.Path("blank.img");
  std::ofstream(blank, std::ios::binary) << std::string(1 << 20, '\0');
  LegacyDesk desk(blank);
  desk.AddRemovableUnit(blank);
  desk.Enter();
  desk.command.messages.answers = {MessageAnswer::Retry, MessageAnswer::Cancel};
  EXPECT_EQ(desk.Search(0), 0);
  ASSERT_EQ(desk.command.messages.shown.size(), 2u);
  EXPECT_EQ(desk.command.messages.shown[1], kUnformattedMessage);
  EXPECT_EQ(desk.command.messages.lastButtons, MessageButtons::RetryCancel);
}

TEST(LegacyRemovable, DrivesWithoutAUnitOrAPartitionAreRefusedBeforeTheListIsTouched) {
  const std::string disk = Image("disk-mbr.img");
  LegacyDesk desk(disk);
  desk.AddRemovableUnit(disk);
  desk.Enter();
  ASSERT_EQ(desk.Search(0), 1);
  const std::vector<std::string> rows = Rows(desk.command.list);
  ASSERT_FALSE(rows.empty());

  // The one removable unit went to the first drive: the second has none,
  // and one given unit 0, the first diskette's, has none of its own.
  for (uint8_t unit : {volume::kNoBiosUnit, uint8_t{0}}) {
    desk.command.drives.entries[1].unitByte = unit;
    desk.command.messages.shown.clear();
    EXPECT_EQ(desk.Search(1), 0);
    ASSERT_EQ(desk.command.messages.shown.size(), 1u);
    EXPECT_EQ(desk.command.messages.shown[0], kNoRemovableUnitMessage);
    EXPECT_FALSE(desk.ended);
  }

  // A fixed drive listed after the pairing has no partition: the program ends.
  desk.command.drives.entries[1].driveType = volume::kDriveFixed;
  desk.command.drives.entries[1].unitByte = volume::kNoBiosUnit;
  desk.command.messages.shown.clear();
  EXPECT_EQ(desk.Search(1), 0);
  ASSERT_EQ(desk.command.messages.shown.size(), 1u);
  EXPECT_EQ(desk.command.messages.shown[0], kNoPartitionForDriveMessage);
  EXPECT_EQ(desk.command.state.partitionIndex, volume::kNoBiosUnit);
  EXPECT_TRUE(desk.ended);
  EXPECT_EQ(Rows(desk.command.list), rows);
}

}  // namespace
}  // namespace vellum::app
