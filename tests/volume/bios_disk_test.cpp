// The legacy path's sector transfers and disk enumeration over the emulated
// disk BIOS: the pieces each transfer is cut into, the bytes they carry, the
// partitions found on a disk made by sfdisk and mkfs, and the pairing of
// fixed drives by serial number.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <numeric>

#include "platform/disk_bios.h"
#include "volume/bios_disks.h"
#include "volume/bios_sectors.h"

namespace vellum::volume {
namespace {

using platform::BiosGeometry;
using platform::EmulatedDiskBios;
using platform::MemoryBlockDevice;

std::vector<uint8_t> Pattern(size_t bytes) {
  std::vector<uint8_t> v(bytes);
  for (size_t i = 0; i < bytes; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 512);
  return v;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Passes every call on, and keeps what each transfer asked for.
class CountingBios : public platform::DiskBios {
 public:
  explicit CountingBios(platform::DiskBios& inner) : inner_(inner) {}
  struct Call {
    bool chs;
    uint32_t head, cylinder, sector, count;
    int status;
  };
  int i13_lba_check(uint8_t unit) override { return inner_.i13_lba_check(unit); }
  int i13_get_drive_parameter(uint8_t unit, BiosGeometry& p) override { return inner_.i13_get_drive_parameter(unit, p); }
  int i13x_io_sector(uint32_t bps, uint8_t unit, uint8_t* buffer, uint8_t function, uint32_t sector,
                     uint32_t count) override {
    const int status = inner_.i13x_io_sector(bps, unit, buffer, function, sector, count);
    calls.push_back({false, 0, 0, sector, count, status});
    return status;
  }
  int i13_io_sector(uint32_t bps, uint8_t unit, uint8_t* buffer, uint8_t function, uint32_t head, uint32_t cylinder,
                    uint32_t sector, uint32_t count) override {
    const int status = inner_.i13_io_sector(bps, unit, buffer, function, head, cylinder, sector, count);
    calls.push_back({true, head, cylinder, sector, count, status});
    return status;
  }
  std::vector<Call> calls;

 private:
  platform::DiskBios& inner_;
};

// A scan state on the legacy path over `bios`'s unit 0x80.
ScanState LegacyState(platform::DiskBios& bios, uint32_t bytesPerSector) {
  ScanState s;
  s.isNt = 0;
  s.bios = &bios;
  s.biosUnit = 0x80;
  s.bytesPerSector = bytesPerSector;
  s.lbaSupported = bios.i13_lba_check(0x80);
  bios.i13_get_drive_parameter(0x80, s.biosGeometry);
  return s;
}

TEST(BiosSectors, ChsTransfersStayInsideTheirTrackAndCarryTheSameBytesAsLba) {
  const std::vector<uint8_t> disk = Pattern(16 * 63 * 512 * 4);  // four cylinders of 16 heads
  for (const uint64_t start : {0ull, 60ull, 62ull, 63ull, 1000ull}) {
    SCOPED_TRACE(start);
    EmulatedDiskBios chsBios, lbaBios;
    ASSERT_EQ(chsBios.AddUnit(std::make_unique<MemoryBlockDevice>(disk), 16, 63, false), 0x80);
    lbaBios.AddUnit(std::make_unique<MemoryBlockDevice>(disk), 16, 63, true);
    CountingBios chs(chsBios), lba(lbaBios);
    ScanState cs = LegacyState(chs, 512), ls = LegacyState(lba, 512);
    EXPECT_EQ(cs.lbaSupported, 0);
    std::vector<uint8_t> a(300 * 512), b(300 * 512);
    EXPECT_EQ(BiosReadSectors(cs, a, start, 300), 0);
    BiosReadSectors(ls, b, start, 300);
    EXPECT_EQ(a, std::vector<uint8_t>(disk.begin() + start * 512, disk.begin() + (start + 300) * 512));
    EXPECT_EQ(a, b);
    uint32_t total = 0;
    for (const auto& call : chs.calls) {
      EXPECT_TRUE(call.chs);
      EXPECT_EQ(call.status, platform::kBiosOk);
      EXPECT_GE(call.sector, 1u);
      EXPECT_LE(call.sector - 1 + call.count, 63u) << "crosses a track end";
      total += call.count;
    }
    EXPECT_EQ(total, 300u);
    for (const auto& call : lba.calls) EXPECT_LE(call.count, 63u);
  }
}

TEST(BiosSectors, AReadFromATracksLastSectorGoesOnAtSectorOneOfTheNextHead) {
  const std::vector<uint8_t> disk = Pattern(16 * 63 * 512 * 2);
  EmulatedDiskBios bios;
  bios.AddUnit(std::make_unique<MemoryBlockDevice>(disk), 16, 63, false);
  CountingBios counting(bios);
  ScanState s = LegacyState(counting, 512);
  std::vector<uint8_t> out(4 * 512);
  BiosReadSectors(s, out, 62, 4);
  ASSERT_EQ(counting.calls.size(), 2u);
  EXPECT_EQ(counting.calls[0].head, 0u);
  EXPECT_EQ(counting.calls[0].sector, 63u);
  EXPECT_EQ(counting.calls[0].count, 1u);
  EXPECT_EQ(counting.calls[1].head, 1u);
  EXPECT_EQ(counting.calls[1].sector, 1u);
  EXPECT_EQ(counting.calls[1].count, 3u);
}

TEST(BiosSectors, LargeSectorsMoveAtMostThirtyOneAtATime) {
  EXPECT_EQ(MaxPerTransfer(2048, 63), 31u);
  EXPECT_EQ(MaxPerTransfer(512, 63), 63u);
  EXPECT_EQ(MaxPerTransfer(512, 18), 18u);
  const std::vector<uint8_t> disk = Pattern(2048 * 63 * 16 * 2);
  for (const bool lbaUnit : {true, false}) {
    EmulatedDiskBios bios;
    bios.AddUnit(std::make_unique<MemoryBlockDevice>(disk, false, 2048), 16, 63, lbaUnit);
    CountingBios counting(bios);
    ScanState s = LegacyState(counting, 2048);
    std::vector<uint8_t> out(200 * 2048);
    BiosReadSectors(s, out, 10, 200);
    EXPECT_EQ(out, std::vector<uint8_t>(disk.begin() + 10 * 2048, disk.begin() + 210 * 2048));
    for (const auto& call : counting.calls) {
      EXPECT_LE(call.count, 31u);
      EXPECT_EQ(call.status, platform::kBiosOk);
    }
  }
}

TEST(BiosSectors, WritesGoThroughTheBounceBufferPieceByPiece) {
  EmulatedDiskBios bios;
  auto device = std::make_unique<MemoryBlockDevice>(std::vector<uint8_t>(16 * 63 * 512 * 2), true);
  MemoryBlockDevice* disk = device.get();
  bios.AddUnit(std::move(device), 16, 63, false);
  ScanState s = LegacyState(bios, 512);
  const std::vector<uint8_t> data = Pattern(130 * 512);
  EXPECT_EQ(BiosWriteSectors(s, data, 50, 130), 0);
  EXPECT_EQ(std::vector<uint8_t>(disk->Bytes().begin() + 50 * 512, disk->Bytes().begin() + 180 * 512), data);
  EXPECT_EQ(std::count(disk->Bytes().begin(), disk->Bytes().begin() + 50 * 512, 0), 50 * 512);
}

TEST(BiosSectors, NothingMovesWithoutAGeometryOrRoomForIt) {
  EmulatedDiskBios bios;
  bios.AddUnit(std::make_unique<MemoryBlockDevice>(Pattern(63 * 512 * 4)), 4, 63, true);
  ScanState s = LegacyState(bios, 512);
  std::vector<uint8_t> small(512, 0xEE);
  BiosReadSectors(s, small, 0, 2);  // two sectors asked for, room for one
  EXPECT_EQ(small, std::vector<uint8_t>(512, 0xEE));
  s.biosGeometry = {};
  std::vector<uint8_t> out(512, 0xEE);
  BiosReadSectors(s, out, 0, 1);
  EXPECT_EQ(out, std::vector<uint8_t>(512, 0xEE));
}

TEST(EmulatedBios, KeepsTheLimitsOfARealOne) {
  EmulatedDiskBios bios;
  ASSERT_EQ(bios.AddUnit(std::make_unique<MemoryBlockDevice>(Pattern(16 * 63 * 512 * 2)), 16, 63, false), 0x80);
  EXPECT_EQ(bios.AddUnit(std::make_unique<MemoryBlockDevice>(Pattern(512)), 0, 63, true), 0);  // no heads
  std::vector<uint8_t> buffer(200 * 512);
  EXPECT_EQ(bios.i13_io_sector(512, 0x80, buffer.data(), platform::kBiosChsRead, 0, 0, 60, 5),
            platform::kBiosSectorNotFound);  // past the track's end
  EXPECT_EQ(bios.i13_io_sector(512, 0x80, buffer.data(), platform::kBiosChsRead, 16, 0, 1, 1),
            platform::kBiosSectorNotFound);  // no such head
  EXPECT_EQ(bios.i13x_io_sector(512, 0x80, buffer.data(), platform::kBiosExtendedRead, 0, 1),
            platform::kBiosBadCommand);  // a CHS-only unit
  EXPECT_EQ(bios.i13_io_sector(512, 0x81, buffer.data(), platform::kBiosChsRead, 0, 0, 1, 1), platform::kBiosBadUnit);
  EXPECT_EQ(bios.i13_io_sector(512, 0x80, buffer.data(), platform::kBiosChsWrite, 0, 0, 1, 1),
            platform::kBiosWriteProtected);
  EXPECT_EQ(bios.i13_io_sector(512, 0x80, buffer.data(), platform::kBiosChsRead, 0, 2, 1, 1),
            platform::kBiosSectorNotFound);  // past the disk's end
  BiosGeometry g{};
  EXPECT_EQ(bios.i13_get_drive_parameter(0x81, g), 0);
  ASSERT_EQ(bios.i13_get_drive_parameter(0x80, g), 1);
  EXPECT_EQ(platform::HighestHead(g), 15);
  EXPECT_EQ(platform::SectorsPerTrack(g), 63);

  EmulatedDiskBios lba;
  lba.AddUnit(std::make_unique<MemoryBlockDevice>(Pattern(200 * 512)), 16, 63, true);
  EXPECT_EQ(lba.i13x_io_sector(512, 0x80, buffer.data(), platform::kBiosExtendedRead, 0, 128),
            platform::kBiosBadCommand);  // more than a call may move
  EXPECT_EQ(lba.i13x_io_sector(512, 0x80, buffer.data(), platform::kBiosExtendedRead, 190, 20),
            platform::kBiosSectorNotFound);
}

TEST(EmulatedBios, UnitNamesTakeAGeometryAndTheChsOption) {
  platform::BiosUnitChoice unit;
  std::string error;
  ASSERT_TRUE(platform::ParseBiosUnitName("card.img", unit, error));
  EXPECT_EQ(unit.path, "card.img");
  EXPECT_TRUE(unit.lba);
  EXPECT_EQ(unit.heads, 0u);
  ASSERT_TRUE(platform::ParseBiosUnitName("/dev/sdb:16x63:chs", unit, error));
  EXPECT_EQ(unit.path, "/dev/sdb");
  EXPECT_EQ(unit.heads, 16u);
  EXPECT_EQ(unit.sectorsPerTrack, 63u);
  EXPECT_FALSE(unit.lba);
  ASSERT_TRUE(platform::ParseBiosUnitName("a:b.img:chs", unit, error));
  EXPECT_EQ(unit.path, "a:b.img");
  EXPECT_FALSE(platform::ParseBiosUnitName("card.img:16x64", unit, error));
  EXPECT_FALSE(platform::ParseBiosUnitName(":chs", unit, error));
}

// One partition entry with the CHS fields given, as a disk's only partition.
uint32_t GeometryOfTable(std::array<uint8_t, 3> start, std::array<uint8_t, 3> end, uint32_t first, uint32_t count) {
  std::vector<uint8_t> disk(512);
  const uint8_t chs[8] = {0, start[0], start[1], start[2], 0x06, end[0], end[1], end[2]};
  std::copy(std::begin(chs), std::end(chs), disk.begin() + 446);
  for (int i = 0; i < 4; ++i) {
    disk[454 + i] = static_cast<uint8_t>(first >> (8 * i));
    disk[458 + i] = static_cast<uint8_t>(count >> (8 * i));
  }
  disk[510] = 0x55;
  disk[511] = 0xAA;
  MemoryBlockDevice device(disk);
  uint32_t heads = 0, spt = 0;
  platform::GeometryFromPartitionTable(device, heads, spt);
  return heads * 100 + spt;
}

TEST(BiosDisks, APartitionTablesGeometryIsTakenOnlyWhereItsChsFieldsAgreeWithItsLba) {
  // What sfdisk and fdisk write today: 1 MiB aligned, CHS from 255 x 63, the
  // end in the middle of a track (0/32/33 .. 4/52/48), which alone would
  // suggest 53 heads of 48 sectors.
  EXPECT_EQ(GeometryOfTable({0x20, 0x21, 0x00}, {0x34, 0x30, 0x04}, 2048, 65536), 25563u);
  // An old tool's table, on cylinder boundaries of 16 heads x 63 sectors.
  EXPECT_EQ(GeometryOfTable({0x01, 0x01, 0x00}, {0x0F, 0x3F, 0x09}, 63, 10017), 1663u);
  // The same ends with a start that names another sector: nothing agrees.
  EXPECT_EQ(GeometryOfTable({0x02, 0x01, 0x00}, {0x0F, 0x3F, 0x09}, 63, 10017), 25563u);
}

TEST(BiosDisks, TheMbrDisksFatPartitionsAreFoundWithTheirSerials) {
  const std::vector<uint8_t> disk = FileBytes(std::string(VELLUM_TEST_IMAGES) + "/disk-mbr.img");
  ASSERT_EQ(disk.size(), 58720256u);
  auto device = std::make_unique<MemoryBlockDevice>(disk);
  uint32_t heads = 0, spt = 0;
  platform::GeometryFromPartitionTable(*device, heads, spt);
  EXPECT_EQ(spt, 63u);
  EmulatedDiskBios bios;
  bios.AddUnit(std::move(device), heads, spt, true);
  BiosDiskTables tables;
  EnumerateBiosDisks(bios, tables);
  // The logical partitions are NTFS and exFAT, which the legacy path does not list.
  ASSERT_EQ(tables.partitions.size(), 2u);
  EXPECT_EQ(tables.partitions[0].type, 0x06);
  EXPECT_EQ(tables.partitions[0].firstSector, 2048u);
  EXPECT_EQ(tables.partitions[0].serial, 0x5EED0101u);
  EXPECT_EQ(tables.partitions[1].type, 0x0C);
  EXPECT_EQ(tables.partitions[1].firstSector, 14336u);
  EXPECT_EQ(tables.partitions[1].serial, 0x5EED0102u);
  EXPECT_EQ(tables.driveOrder, (std::vector<uint8_t>{0, 1}));
  EXPECT_TRUE(tables.removableUnits.empty());
  EXPECT_EQ(tables.lbaUnits, std::vector<uint8_t>{0x80});
}

// Two units of three FAT partitions (one logical), and a floppy.
std::vector<uint8_t> DiskWithPartitions(const std::vector<std::pair<uint8_t, uint32_t>>& primaries,
                                        uint32_t serialBase, uint32_t extendedAt = 0, uint32_t logicalAt = 0) {
  std::vector<uint8_t> disk(4 * 1024 * 1024);
  auto put32 = [&disk](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) disk[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  auto bootSector = [&](uint32_t sector, uint32_t serial) {
    uint8_t* b = disk.data() + sector * 512ull;
    const uint8_t fat16[] = {0xEB, 0x3C, 0x90, 'M', 'S', 'D', 'O', 'S', '5', '.', '0', 0x00, 0x02, 0x04, 0x01, 0x00,
                             0x02, 0x00, 0x02, 0x00, 0x10, 0xF8, 0x04, 0x00, 0x3F, 0x00, 0x10, 0x00};
    std::copy(std::begin(fat16), std::end(fat16), b);
    b[38] = 0x29;
    for (int i = 0; i < 4; ++i) b[39 + i] = static_cast<uint8_t>(serial >> (8 * i));
    std::copy_n("FAT16   ", 8, b + 54);
    b[510] = 0x55;
    b[511] = 0xAA;
  };
  for (size_t i = 0; i < primaries.size(); ++i) {
    disk[446 + 16 * i + 4] = primaries[i].first;
    put32(446 + 16 * i + 8, primaries[i].second);
    if (primaries[i].first != 0x05) bootSector(primaries[i].second, serialBase + static_cast<uint32_t>(i));
  }
  if (extendedAt) {
    const size_t ebr = extendedAt * 512ull;
    disk[ebr + 446 + 4] = 0x06;
    put32(ebr + 446 + 8, logicalAt);
    disk[ebr + 510] = 0x55;
    disk[ebr + 511] = 0xAA;
    bootSector(extendedAt + logicalAt, serialBase + 9);
  }
  disk[510] = 0x55;
  disk[511] = 0xAA;
  return disk;
}

TEST(BiosDisks, FixedDrivesArePairedBySerialAndFloppiesAreRemovable) {
  EmulatedDiskBios bios;
  bios.AddUnit(std::make_unique<MemoryBlockDevice>(DiskWithPartitions({{0x06, 63}, {0x05, 4000}}, 0x1000, 4000, 63)),
               64, 63, true);
  bios.AddUnit(std::make_unique<MemoryBlockDevice>(DiskWithPartitions({{0x04, 63}}, 0x2000)), 64, 63, false);
  bios.AddUnit(std::make_unique<MemoryBlockDevice>(std::vector<uint8_t>(1474560)), 2, 18, false);  // a floppy
  BiosDiskTables tables;
  EnumerateBiosDisks(bios, tables);
  ASSERT_EQ(tables.partitions.size(), 3u);
  EXPECT_FALSE(tables.partitions[0].logical);
  EXPECT_TRUE(tables.partitions[1].logical);
  EXPECT_EQ(tables.partitions[1].firstSector, 4063u);
  EXPECT_EQ(tables.partitions[1].serial, 0x1009u);
  EXPECT_EQ(tables.partitions[2].unit, 0x81);
  EXPECT_EQ(tables.removableUnits, std::vector<uint8_t>{0x82});
  // The first primary of each unit, then the logical one.
  EXPECT_EQ(tables.driveOrder, (std::vector<uint8_t>{0, 2, 1}));

  EXPECT_EQ(PairFixedDrive(tables, 0x1009), 1);
  EXPECT_EQ(PairFixedDrive(tables, 0x1009), kNoBiosUnit);  // paired once only
  EXPECT_EQ(PairFixedDrive(tables, 0x2000), 2);
  EXPECT_EQ(PairFixedDrive(tables, 0xDEAD), kNoBiosUnit);  // to be listed as removable
}

}  // namespace
}  // namespace vellum::volume
