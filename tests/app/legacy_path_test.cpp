// The legacy path end to end: the disk made by sfdisk and mkfs as a BIOS unit
// of the emulated disk BIOS, its drives paired by serial number, and the
// search, cluster scan, restore and complete deletion of each FAT partition
// through BIOS transfers giving what the raw-volume path gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/legacy_opening.h"
#include "app/restore_command.h"
#include "app/search_command.h"
#include "app/wipe_command.h"
#include "platform/device_open.h"
#include "platform/disk_bios.h"
#include "support/command_fixture.h"
#include "volume/bios_disks.h"
#include "volume/boot_sector.h"
#include "volume/source.h"

namespace vellum::app {
namespace {

using testing::Command;
using testing::TempDir;

std::string DiskImage() { return std::string(VELLUM_TEST_IMAGES) + "/disk-mbr.img"; }

// Read whole: a byte-by-byte stream iterator over a 56 MB disk costs seconds under the sanitizers.
std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::error_code ec;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::filesystem::file_size(path, ec)));
  if (ec || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return {};
  return bytes;
}

struct WholeRange : ClusterRangeAsker {
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

// The volume serial the system reports for a drive: read from its boot
// sector through the raw volume.
uint32_t SerialOf(const volume::DriveEntry& entry) {
  volume::OpenedSource opened = volume::OpenSource(entry.sourcePath, entry.partitionNumber, platform::OpenAccess::ReadOnly);
  if (!opened.device) return 0;
  volume::ScanState s;
  s.volumeHandle = std::move(opened.device);
  s.bytesPerSector = 512;
  std::vector<uint8_t> boot(512);
  if (!s.volumeHandle->Read(0, boot)) return 0;
  s.fsKind = volume::RecognizeBootSector(boot);
  volume::ParseBootGeometry(s, boot, 0);
  return s.volumeSerial;
}

// One command on `image` through the emulated BIOS (legacy) or the raw
// volume, the drive box at `partition` (from 1).
struct Drive {
  Command command;
  platform::EmulatedDiskBios bios;
  volume::BiosDiskTables tables;
  WholeRange range;

  Drive(const std::string& image, int partition, bool legacy, bool writable = false) : command(image) {
    command.context.volume.selectedIndex = partition - 1;
    command.context.rangeAsker = &range;
    if (!legacy) return;
    platform::OpenResult disk =
        platform::OpenDevice(image, writable ? platform::OpenAccess::ReadWrite : platform::OpenAccess::ReadOnly);
    EXPECT_NE(disk.device, nullptr) << image;
    if (!disk.device) return;
    uint32_t heads = 0, spt = 0;
    platform::GeometryFromPartitionTable(*disk.device, heads, spt);
    bios.AddUnit(std::move(disk.device), heads, spt, true);
    volume::EnumerateBiosDisks(bios, tables);
    volume::PairLegacyDrives(command.drives, tables, SerialOf);
    command.state.isNt = 0;
    command.state.bios = &bios;
    command.state.biosTables = &tables;
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    const ResultList& l = command.list;
    for (size_t r = 0; r < l.RowCount(); ++r) {
      std::string line;
      for (size_t c = 0; c < l.ColumnCount(); ++c) line += std::string(l.Cell(r, c)) + '\t';
      rows.push_back(line + std::to_string(l.DataWord(r)));
    }
    return rows;
  }
};

TEST(LegacyPath, FixedDrivesArePairedAndTheRestBecomeRemovable) {
  Drive run(DiskImage(), 1, true);
  const auto& e = run.command.drives.entries;
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].driveType, volume::kDriveFixed);
  EXPECT_EQ(e[0].unitByte, 0);
  EXPECT_EQ(e[1].driveType, volume::kDriveFixed);
  EXPECT_EQ(e[1].unitByte, 1);
  // NTFS and exFAT partitions are not in the BIOS partition list: no unit.
  for (size_t i : {2u, 3u}) {
    EXPECT_EQ(e[i].driveType, volume::kDriveRemovable);
    EXPECT_EQ(e[i].unitByte, volume::kNoBiosUnit);
  }
}

TEST(LegacyPath, SearchesAndScansListWhatTheRawVolumeLists) {
  for (int partition : {1, 2}) {
    SCOPED_TRACE(partition);
    Drive nt(DiskImage(), partition, false), legacy(DiskImage(), partition, true);
    for (Drive* run : {&nt, &legacy}) {
      run->command.context.options.inUse = run->command.context.options.zeroSize = true;
      run->command.messages.answers = {MessageAnswer::Yes};  // and the free-cluster scan
      EXPECT_EQ(OnSearch(run->command.context), 1);
    }
    EXPECT_EQ(legacy.command.state.lbaSupported, 1);
    EXPECT_EQ(legacy.command.state.partitionStart, partition == 1 ? 2048u : 14336u);
    EXPECT_FALSE(nt.Rows().empty());
    EXPECT_EQ(legacy.Rows(), nt.Rows());
  }
}

TEST(LegacyPath, AnUnpairedDriveIsRefusedAsNoVolumeTheBiosCanReach) {
  Drive legacy(DiskImage(), 3, true);
  // Listed as removable, it got no BIOS unit: the person hears how to give it one.
  EXPECT_EQ(OnSearch(legacy.command.context), 0);
  ASSERT_EQ(legacy.command.messages.shown.size(), 1u);
  EXPECT_EQ(legacy.command.messages.shown[0], kNoRemovableUnitMessage);
  EXPECT_EQ(legacy.command.list.RowCount(), 0u);
}

TEST(LegacyPath, RestoresTheSameFilesAndCompleteDeletionWritesTheSameSectors) {
  TempDir out;
  Drive nt(DiskImage(), 1, false), legacy(DiskImage(), 1, true);
  RestoreSummary a, b;
  ASSERT_EQ(OnRestore(nt.command.context, {out.Path("nt"), nullptr, {}, 0}, a), 1);
  ASSERT_EQ(OnRestore(legacy.command.context, {out.Path("bios"), nullptr, {}, 0}, b), 1);
  size_t files = 0;
  for (const auto& f : std::filesystem::recursive_directory_iterator(out.Path("nt"))) {
    if (!f.is_regular_file()) continue;
    ++files;
    const auto rel = std::filesystem::relative(f.path(), out.Path("nt"));
    EXPECT_EQ(FileBytes(out.Path("bios") + "/" + rel.string()), FileBytes(f.path().string())) << rel;
  }
  EXPECT_GT(files, 0u);

  for (const char* name : {"nt.img", "bios.img"}) std::filesystem::copy_file(DiskImage(), out.Path(name));
  Drive wipeNt(out.Path("nt.img"), 2, false), wipeBios(out.Path("bios.img"), 2, true, true);
  for (Drive* run : {&wipeNt, &wipeBios}) {
    run->command.messages.answers = {MessageAnswer::Yes, MessageAnswer::No};
    EXPECT_EQ(OnCompleteDeletion(run->command.context), 1);
  }
  const std::vector<uint8_t> wiped = FileBytes(out.Path("nt.img"));
  EXPECT_NE(wiped, FileBytes(DiskImage()));
  EXPECT_EQ(FileBytes(out.Path("bios.img")), wiped);
}

}  // namespace
}  // namespace vellum::app
