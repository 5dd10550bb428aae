#include "volume/boot_sector.h"

#include <algorithm>
#include <vector>

#include "volume/fixups.h"
#include "volume/sector_io.h"

namespace vellum::volume {

namespace {

constexpr size_t kDirEntryBytes = 32;

bool IsExfatBoot(ByteView boot) { return BytesEqual(boot, 3, "EXFAT   "); }

void ParseExfatGeometry(ScanState& state, ByteView boot) {
  // The shifts come from the disk: a shift the field cannot hold becomes 0,
  // which CheckGeometry refuses.
  const uint8_t sectorShift = Le8(boot, 108);
  const uint8_t clusterShift = Le8(boot, 109);
  state.bytesPerSector = sectorShift < 16 ? static_cast<uint16_t>(1u << sectorShift) : 0;
  state.sectorsPerCluster = clusterShift < 32 ? 1u << clusterShift : 0;
  state.clusterBytes = state.bytesPerSector * state.sectorsPerCluster;
  state.fatStartSector = Le32(boot, 80);
  state.fatSectors = Le32(boot, 84);
  state.firstDataSector = Le32(boot, 88);
  const uint32_t clusterCount = Le32(boot, 92);
  state.rootCluster = Le32(boot, 96);
  state.lastCluster = uint64_t{clusterCount} + 1;
  state.dataAreaBytes = uint64_t{clusterCount} * state.clusterBytes;
  state.fsKind = kExfat;
}

void ParseFatLayout(ScanState& state, ByteView boot, uint64_t partitionStart) {
  if (Le16(boot, 11) != 0) state.bytesPerSector = Le16(boot, 11);
  state.sectorsPerCluster = Le8(boot, 13);
  state.fatStartSector = Le16(boot, 14);
  state.rootEntryCount = Le16(boot, 17);
  state.fatSectors = Le16(boot, 22);

  if (state.fsKind == kFat12 || state.fsKind == kFat16) {
    state.rootCluster = 0;
    state.totalSectors = Le16(boot, 19) != 0 ? Le16(boot, 19) : Le32(boot, 32);
    state.volumeSerial = Le32(boot, 39);
    // A FAT32 volume in a partition marked FAT16: the serial field of the
    // small layout is empty and the FAT32 label stands at 82.
    if (Le32(boot, 39) == 0 && BytesEqual(boot, 82, "FAT32")) state.fsKind = kFat32;
  }
  if (state.fsKind == kFat32) {
    state.totalSectors = Le32(boot, 32);
    state.fatSectors = Le32(boot, 36);
    state.rootCluster = Le32(boot, 44);
    state.volumeSerial = Le32(boot, 67);
  }
  // Two FATs are assumed whatever the boot sector says.
  state.rootDirSector = static_cast<uint32_t>(2ull * state.fatSectors + state.fatStartSector + partitionStart);
  if (state.fsKind == kFat32) {
    state.rootDirSectors = 0;
    state.firstDataSector = state.rootDirSector;
  } else {
    state.rootDirSectors =
        state.bytesPerSector ? state.rootEntryCount * kDirEntryBytes / state.bytesPerSector : 0;
    state.firstDataSector = state.rootDirSector + state.rootDirSectors;
  }
  if (state.sectorsPerCluster == 0) return;  // geometry stays as it was; CheckGeometry refuses it
  state.clusterBytes = state.sectorsPerCluster * state.bytesPerSector;
  // Sectors before the data area (a damaged FAT size can put it past the end)
  // leave no clusters rather than wrapping to billions of them.
  const uint64_t end = uint64_t{state.totalSectors} + partitionStart;
  const uint64_t clusterCount =
      end > state.firstDataSector ? (end - state.firstDataSector) / state.sectorsPerCluster : 0;
  state.lastCluster = clusterCount + 1;
  state.dataAreaBytes = clusterCount * state.clusterBytes;
}

}  // namespace

uint8_t RecognizeBootSector(ByteView sector) {
  if (BytesEqual(sector, 82, "FAT32")) return kFat32;
  if (BytesEqual(sector, 54, "FAT16")) return kFat16;
  if (BytesEqual(sector, 54, "FAT12")) return kFat12;
  if (BytesEqual(sector, 3, "NTFS")) return kNtfs;
  if (BytesEqual(sector, 3, "EXFAT")) return kExfat;
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

void ParseBootGeometry(ScanState& state, ByteView boot, uint64_t partitionStart) {
  if (IsExfatBoot(boot))
    ParseExfatGeometry(state, boot);
  else
    ParseFatLayout(state, boot, partitionStart);
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
  const ByteView boot(state.ntfsBoot);
  state.bytesPerSector = Le16(boot, 11);
  state.sectorsPerCluster = NtfsSectorsPerCluster(Le8(boot, 13));
  state.clusterBytes = state.bytesPerSector * state.sectorsPerCluster;
  const uint64_t totalSectors = Le64(boot, 40);
  // Zero sectors per cluster is refused by CheckGeometry; no division here.
  state.lastCluster = state.sectorsPerCluster ? totalSectors / state.sectorsPerCluster - 1 : 0;
  state.dataAreaBytes = totalSectors * state.bytesPerSector;
}

uint64_t MftStartCluster(const ScanState& state) { return Le64(state.ntfsBoot, 48); }

uint64_t MftRecordSizeOf(const ScanState& state) {
  const uint32_t v = Le32(state.ntfsBoot, 64);
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
  ApplyFixups(state.mftRecord0, state.bytesPerSector);
  return ok;
}

std::string CheckGeometry(const ScanState& state) {
  if (state.bytesPerSector == 0) return "the boot sector gives no usable sector size";
  if (state.sectorsPerCluster == 0) return "the boot sector gives 0 sectors per cluster";
  const uint64_t clusterBytes = uint64_t{state.bytesPerSector} * state.sectorsPerCluster;
  const uint64_t deviceBytes = state.volumeHandle ? state.volumeHandle->Size() : UINT64_MAX;
  // A cluster larger than the whole device can hold nothing; refusing it keeps
  // a damaged size field from sizing every cluster buffer of the walks.
  if (clusterBytes > kMaxClusterBytes || clusterBytes > deviceBytes)
    return "the boot sector gives a cluster size of " + std::to_string(clusterBytes) + " bytes";
  return {};
}

}  // namespace vellum::volume
