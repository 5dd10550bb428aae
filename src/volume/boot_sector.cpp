#include "volume/boot_sector.h"

#include <algorithm>
#include <vector>

#include "volume/exfat_layout.h"
#include "volume/fat_layout.h"
#include "volume/fixups.h"
#include "volume/ntfs_layout.h"
#include "volume/sector_io.h"

namespace vellum::volume {

namespace {

bool IsExfatBoot(ByteView boot) { return BytesEqual(boot, exfat_layout::kFileSystemName.offset, "EXFAT   "); }

// Fields are read in ascending order of offset: a boot sector cut short then
// reads 0 from the first field it lacks on, field by field as the plain
// readers would, and the reader's Ok() says whether it was whole.
bool ParseExfatGeometry(ScanState& state, ByteView boot) {
  using namespace exfat_layout;
  FieldReader r(boot);
  const uint32_t fatStart = r.Read(kFatOffset);
  const uint32_t fatSectors = r.Read(kFatLength);
  const uint32_t firstData = r.Read(kClusterHeapOffset);
  const uint32_t clusterCount = r.Read(kClusterCount);
  const uint32_t rootCluster = r.Read(kRootCluster);
  // The shifts come from the disk: a shift the field cannot hold becomes 0,
  // which CheckGeometry refuses.
  const uint8_t sectorShift = r.Read(kBytesPerSectorShift);
  const uint8_t clusterShift = r.Read(kSectorsPerClusterShift);
  state.bytesPerSector = sectorShift < 16 ? static_cast<uint16_t>(1u << sectorShift) : 0;
  state.sectorsPerCluster = clusterShift < 32 ? 1u << clusterShift : 0;
  state.clusterBytes = state.bytesPerSector * state.sectorsPerCluster;
  state.fatStartSector = fatStart;
  state.fatSectors = fatSectors;
  state.firstDataSector = firstData;
  state.rootCluster = rootCluster;
  state.lastCluster = uint64_t{clusterCount} + 1;
  state.dataAreaBytes = uint64_t{clusterCount} * state.clusterBytes;
  state.fsKind = kExfat;
  return r.Ok();
}

bool ParseFatLayout(ScanState& state, ByteView boot, uint64_t partitionStart) {
  using namespace fat_layout;
  FieldReader r(boot);
  const uint16_t sectorSize = r.Read(kBytesPerSector);
  if (sectorSize != 0) state.bytesPerSector = sectorSize;
  state.sectorsPerCluster = r.Read(kSectorsPerCluster);
  state.fatStartSector = r.Read(kReservedSectors);
  state.rootEntryCount = r.Read(kRootEntryCount);
  const uint16_t totalSectors16 = r.Read(kTotalSectors16);
  state.fatSectors = r.Read(kFatSectors16);

  if (state.fsKind == kFat12 || state.fsKind == kFat16) {
    state.rootCluster = 0;
    const uint32_t totalSectors32 = r.Read(kTotalSectors32);
    state.totalSectors = totalSectors16 != 0 ? totalSectors16 : totalSectors32;
    state.volumeSerial = r.Read(kSerial16);
    // A FAT32 volume in a partition marked FAT16: the serial field of the
    // small layout is empty and the FAT32 type text stands where FAT32 has it.
    if (state.volumeSerial == 0 && BytesEqual(r.Bytes(kTypeText32.offset, 5), 0, "FAT32")) state.fsKind = kFat32;
  }
  if (state.fsKind == kFat32) {
    // Back below the type text after its test: it was there, so these fit.
    state.totalSectors = r.Read(kTotalSectors32);
    state.fatSectors = r.Read(kFatSectors32);
    state.rootCluster = r.Read(kRootCluster32);
    state.volumeSerial = r.Read(kSerial32);
  }
  // Two FATs are assumed whatever the boot sector says.
  state.rootDirSector = static_cast<uint32_t>(2ull * state.fatSectors + state.fatStartSector + partitionStart);
  if (state.fsKind == kFat32) {
    state.rootDirSectors = 0;
    state.firstDataSector = state.rootDirSector;
  } else {
    state.rootDirSectors =
        state.bytesPerSector ? state.rootEntryCount * fat_layout::kEntryBytes / state.bytesPerSector : 0;
    state.firstDataSector = state.rootDirSector + state.rootDirSectors;
  }
  if (state.sectorsPerCluster == 0) return r.Ok();  // geometry stays as it was; CheckGeometry refuses it
  state.clusterBytes = state.sectorsPerCluster * state.bytesPerSector;
  // Sectors before the data area (a damaged FAT size can put it past the end)
  // leave no clusters rather than wrapping to billions of them.
  const uint64_t end = uint64_t{state.totalSectors} + partitionStart;
  const uint64_t clusterCount =
      end > state.firstDataSector ? (end - state.firstDataSector) / state.sectorsPerCluster : 0;
  state.lastCluster = clusterCount + 1;
  state.dataAreaBytes = clusterCount * state.clusterBytes;
  return r.Ok();
}

}  // namespace

uint8_t RecognizeBootSector(ByteView sector) {
  if (BytesEqual(sector, fat_layout::kTypeText32.offset, "FAT32")) return kFat32;
  if (BytesEqual(sector, fat_layout::kTypeText16.offset, "FAT16")) return kFat16;
  if (BytesEqual(sector, fat_layout::kTypeText16.offset, "FAT12")) return kFat12;
  if (BytesEqual(sector, ntfs_layout::kOemId.offset, "NTFS")) return kNtfs;
  if (BytesEqual(sector, exfat_layout::kFileSystemName.offset, "EXFAT")) return kExfat;
  return kFsNone;
}

bool DetectFsKind(ScanState& state) {
  std::vector<uint8_t> sector(std::max<size_t>(state.bytesPerSector, 512));
  if (!state.volumeHandle || !state.volumeHandle->Read(0, {sector.data(), state.bytesPerSector})) {
    state.fsKind = kFsNone;
    return false;
  }
  state.fsKind = RecognizeBootSector(sector);
  return state.fsKind != kFsNone;
}

uint8_t PartitionTypeToFsKind(uint8_t type) {
  switch (type) {
    case 0x01: case 0x11: return kFat12;
    case 0x04: case 0x06: case 0x0E: case 0x14: case 0x16: case 0x1E: return kFat16;
    case 0x0B: case 0x0C: case 0x1B: case 0x1C: return kFat32;
    case 0x07: case 0x17: case 0x86: case 0x87: return kNtfs;
    default: return kFsNone;
  }
}

bool ParseBootGeometry(ScanState& state, ByteView boot, uint64_t partitionStart) {
  const bool whole = IsExfatBoot(boot) ? ParseExfatGeometry(state, boot) : ParseFatLayout(state, boot, partitionStart);
  if (!whole) ++state.truncatedStructures;
  return whole;
}

bool ReadBootGeometry(ScanState& state, uint64_t partitionStart) {
  std::vector<uint8_t> boot(std::max<size_t>(state.bytesPerSector, 512));
  const bool ok = ReadSectors(state, partitionStart, 1, boot);
  ParseBootGeometry(state, boot, partitionStart);
  return ok;
}

uint32_t NtfsSectorsPerCluster(uint8_t stored) {
  // Clusters above 64 KiB (Windows formats up to 2 MiB) do not fit a byte:
  // from 0x81 on the byte is a negative power of two, 0xF4 meaning 2^12.
  if (stored <= 0x80) return stored;
  const unsigned shift = 256u - stored;
  return shift < 32 ? 1u << shift : 0;
}

void ReadNtfsGeometry(ScanState& state) {
  FieldReader r(state.ntfsBoot);
  state.bytesPerSector = r.Read(ntfs_layout::kBytesPerSector);
  state.sectorsPerCluster = NtfsSectorsPerCluster(r.Read(ntfs_layout::kSectorsPerCluster));
  state.clusterBytes = state.bytesPerSector * state.sectorsPerCluster;
  const uint64_t totalSectors = r.Read(ntfs_layout::kTotalSectors);
  if (!r.Ok()) ++state.truncatedStructures;
  // Zero sectors per cluster is refused by CheckGeometry; no division here.
  state.lastCluster = state.sectorsPerCluster ? totalSectors / state.sectorsPerCluster - 1 : 0;
  state.dataAreaBytes = totalSectors * state.bytesPerSector;
}

uint64_t MftStartCluster(const ScanState& state) { return Le(state.ntfsBoot, ntfs_layout::kMftCluster); }

uint64_t MftRecordSizeOf(const ScanState& state) {
  const uint32_t v = Le(state.ntfsBoot, ntfs_layout::kClustersPerMftRecord);
  // Above 127 the low byte is a negative power of two: 0xF6 is -10, 2^10 bytes.
  if (v > 127) return uint64_t{1} << ((0u - v) % 32);
  return uint64_t{v} * state.bytesPerSector * state.sectorsPerCluster;
}

bool ReadMftRecord0(ScanState& state) {
  state.mftRecord0.clear();
  state.mftRecordSize = 0;
  const uint64_t size = MftRecordSizeOf(state);
  uint64_t sector = 0;
  if (size == 0 || size > kMaxMftRecordSize || state.bytesPerSector == 0 ||
      !CheckedMul(MftStartCluster(state), state.sectorsPerCluster, sector))
    return false;
  state.mftRecordSize = static_cast<uint32_t>(size);
  // A record smaller than a sector still gets read: one sector, trimmed.
  const uint64_t sectors = std::max<uint64_t>(1, size / state.bytesPerSector);
  std::vector<uint8_t> raw(std::max<uint64_t>(size, sectors * state.bytesPerSector));
  const bool ok = ReadSectors(state, sector, sectors, raw);
  raw.resize(size);
  state.mftRecord0 = std::move(raw);
  if (!ApplyFixups(state.mftRecord0)) ++state.truncatedStructures;
  return ok;
}

std::string CheckGeometry(const ScanState& state) {
  if (state.bytesPerSector == 0) return "ブートセクタのセクタサイズが使えない値です";
  if (state.sectorsPerCluster == 0) return "ブートセクタのクラスタあたりのセクタ数が 0 です";
  const uint64_t clusterBytes = uint64_t{state.bytesPerSector} * state.sectorsPerCluster;
  const uint64_t deviceBytes = state.volumeHandle ? state.volumeHandle->Size() : UINT64_MAX;
  // A cluster larger than the whole device can hold nothing; refusing it keeps
  // a damaged size field from sizing every cluster buffer of the walks.
  if (clusterBytes > kMaxClusterBytes || clusterBytes > deviceBytes)
    return "ブートセクタのクラスタサイズが " + std::to_string(clusterBytes) + " バイトです";
  return {};
}

}  // namespace vellum::volume
