#include "volume/partition_table.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "volume/boot_sector.h"
#include "volume/exfat_layout.h"
#include "volume/fat_layout.h"
#include "volume/partition_layout.h"
#include "volume/scan_state.h"

namespace vellum::volume {

namespace {

namespace L = partition_layout;

constexpr uint8_t kProtectiveType = 0xEE;

struct MbrEntry {
  uint8_t bootFlag = 0;
  uint8_t type = 0;
  uint32_t start = 0;
  uint32_t count = 0;
  bool Empty() const { return type == 0 || count == 0; }
};

// A slot the sector does not hold reads as an empty entry.
MbrEntry EntryAt(ByteView sector, int slot) {
  FieldReader table(sector);
  FieldReader r(table.Bytes(L::kMbrEntries + L::kMbrEntryBytes * static_cast<uint64_t>(slot), L::kMbrEntryBytes));
  MbrEntry e{r.Read(L::kEntryBootFlag), r.Read(L::kEntryType), r.Read(L::kEntryFirstSector),
             r.Read(L::kEntrySectorCount)};
  return r.Ok() ? e : MbrEntry{};
}

bool HasBootSignature(ByteView sector) { return Le(sector, L::kBootSignature) == L::kBootSignatureValue; }

bool IsExtendedType(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

bool IsPowerOfTwoIn(uint64_t v, uint64_t lo, uint64_t hi) {
  return v >= lo && v <= hi && (v & (v - 1)) == 0;
}

// The fields a formatter always fills in: a sector of boot code that merely
// contains "FAT32" or "NTFS" at the right place does not pass.
bool BootFieldsSane(ByteView s, uint8_t kind) {
  FieldReader r(s);
  const uint8_t jump = r.Read(fat_layout::kJump);
  if (jump != 0xEB && jump != 0xE9) return false;
  if (kind == kExfat) {
    const uint8_t sectorShift = r.Read(exfat_layout::kBytesPerSectorShift);
    return r.Ok() && sectorShift >= 9 && sectorShift <= 12;
  }
  if (!IsPowerOfTwoIn(r.Read(fat_layout::kBytesPerSector), 256, 4096) ||
      !IsPowerOfTwoIn(r.Read(fat_layout::kSectorsPerCluster), 1, 128))
    return false;
  if (kind == kNtfs) return r.Ok();
  return r.Read(fat_layout::kReservedSectors) >= 1 && r.Read(fat_layout::kFatCount) >= 1 && r.Ok();
}

// Four entries that could be a partition table: every boot flag 0x00 or
// 0x80 (boot code and message text rarely are), and at least one partition.
bool MbrEntriesSane(ByteView sector) {
  bool any = false;
  for (int slot = 0; slot < L::kMbrSlots; ++slot) {
    const MbrEntry e = EntryAt(sector, slot);
    if (e.bootFlag != 0x00 && e.bootFlag != 0x80) return false;
    if (e.Empty()) continue;
    if (e.start == 0) return false;  // a partition cannot hold the table's own sector
    any = true;
  }
  return any;
}

uint32_t TableSectorSize(const platform::BlockDevice& disk) {
  const uint32_t s = disk.SectorSize();
  return IsPowerOfTwoIn(s, 512, 65536) ? s : 512;
}

std::vector<uint8_t> ReadBytes(platform::BlockDevice& disk, uint64_t offset, uint64_t length,
                               bool* complete = nullptr) {
  std::vector<uint8_t> bytes(length);
  const bool ok = disk.Read(offset, bytes);
  if (complete) *complete = ok;
  return bytes;
}

// Adds a partition of `lbaCount` sectors at `lba`, clipped to the device.
void AddPartition(PartitionTable& table, uint64_t deviceSize, uint64_t lba, uint64_t lbaCount,
                  Partition p) {
  uint64_t start = 0, length = 0;
  const bool fits = CheckedMul(lba, table.sectorSize, start) &&
                    CheckedMul(lbaCount, table.sectorSize, length);
  p.number = static_cast<uint32_t>(table.partitions.size() + 1);
  if (!fits || start >= deviceSize) {
    p.startByte = fits ? start : UINT64_MAX;
    p.lengthBytes = 0;
    p.clipped = true;
  } else {
    p.startByte = start;
    p.lengthBytes = std::min(length, deviceSize - start);
    p.clipped = p.lengthBytes != length;
  }
  table.partitions.push_back(p);
}

// Walks one extended container's chain of extended boot records. Each link
// is relative to the container's start, each logical partition to its own
// record. Every entry of a record counts, not only the first two: some
// tools put several logical partitions or links in one record. Links are
// followed in slot order, depth first, so a plain chain keeps its order;
// records seen before, self-links and absurdly many records end the walk.
void WalkExtendedChain(platform::BlockDevice& disk, PartitionTable& table, uint64_t containerLba,
                       std::set<uint64_t>& visited, size_t& logicalCount) {
  std::vector<uint64_t> pending{containerLba};
  for (size_t steps = 0; !pending.empty() && steps < kMaxLogicalPartitions; ++steps) {
    const uint64_t ebrLba = pending.back();
    pending.pop_back();
    uint64_t offset = 0;
    if (!visited.insert(ebrLba).second) continue;
    if (!CheckedMul(ebrLba, table.sectorSize, offset) || offset >= disk.Size()) continue;
    bool complete = false;
    const auto ebr = ReadBytes(disk, offset, table.sectorSize, &complete);
    if (!complete || !HasBootSignature(ebr)) continue;
    std::vector<uint64_t> links;
    for (int slot = 0; slot < L::kMbrSlots; ++slot) {
      const MbrEntry e = EntryAt(ebr, slot);
      if (e.Empty()) continue;
      if (IsExtendedType(e.type)) {
        if (e.start != 0) links.push_back(containerLba + e.start);
        continue;
      }
      if (logicalCount++ >= kMaxLogicalPartitions) return;
      Partition p;
      p.logical = true;
      p.mbrType = e.type;
      AddPartition(table, disk.Size(), ebrLba + e.start, e.count, p);
    }
    pending.insert(pending.end(), links.rbegin(), links.rend());
  }
}

void ReadMbr(platform::BlockDevice& disk, ByteView sector0, PartitionTable& table) {
  table.kind = TableKind::Mbr;
  std::vector<uint32_t> containers;
  for (int slot = 0; slot < L::kMbrSlots; ++slot) {
    const MbrEntry e = EntryAt(sector0, slot);
    if (e.Empty() || e.type == kProtectiveType) continue;
    if (IsExtendedType(e.type)) {
      containers.push_back(e.start);
      continue;
    }
    Partition p;
    p.mbrType = e.type;
    AddPartition(table, disk.Size(), e.start, e.count, p);
  }
  std::set<uint64_t> visited;
  size_t logicalCount = 0;
  for (uint32_t container : containers)
    WalkExtendedChain(disk, table, container, visited, logicalCount);
}

// --- GPT -------------------------------------------------------------------

uint32_t Crc32(ByteView bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

struct GptHeader {
  uint64_t entryLba = 0;
  uint32_t entryCount = 0;
  uint32_t entrySize = 0;
  uint32_t entriesCrc = 0;
  bool crcOk = false;
};

// Reads and checks the header at `lba`. False when it is no usable header;
// a header whose checksum fails is still returned, marked, since a damaged
// disk is exactly what we are here for.
bool ReadGptHeader(platform::BlockDevice& disk, uint32_t sectorSize, uint64_t lba, GptHeader& h) {
  uint64_t offset = 0;
  if (!CheckedMul(lba, sectorSize, offset)) return false;
  auto sector = ReadBytes(disk, offset, sectorSize);
  if (!BytesEqual(sector, L::kGptSignature.offset, "EFI PART")) return false;
  FieldReader r(sector);
  const uint32_t headerSize = r.Read(L::kGptHeaderSize);
  const uint32_t stored = r.Read(L::kGptHeaderCrc);
  h.entryLba = r.Read(L::kGptEntryLba);
  h.entryCount = r.Read(L::kGptEntryCount);
  h.entrySize = r.Read(L::kGptEntrySize);
  h.entriesCrc = r.Read(L::kGptEntriesCrc);
  if (!r.Ok() || headerSize < L::kGptHeaderMinBytes || headerSize > sector.size()) return false;
  if (h.entrySize < L::kGptEntryMinBytes || h.entrySize > kMaxGptEntrySize || h.entrySize % 8 != 0) return false;
  if (h.entryCount == 0 || h.entryLba < 2) return false;
  PutLe(sector, L::kGptHeaderCrc, 0);
  h.crcOk = Crc32(ByteView(sector).first(headerSize)) == stored;
  return true;
}

bool IsZeroGuid(ByteView guid) {
  return std::all_of(guid.begin(), guid.end(), [](uint8_t b) { return b == 0; });
}

// The entry array, at most kMaxGptEntryArrayBytes of it. `crcOk` only when
// the whole array was read and matches the header.
std::vector<uint8_t> ReadGptEntries(platform::BlockDevice& disk, uint32_t sectorSize,
                                    const GptHeader& h, bool& crcOk) {
  const uint64_t claimed = uint64_t{h.entryCount} * h.entrySize;
  const uint64_t bytes = std::min(claimed, kMaxGptEntryArrayBytes / h.entrySize * h.entrySize);
  uint64_t offset = 0;
  crcOk = false;
  if (!CheckedMul(h.entryLba, sectorSize, offset) || offset >= disk.Size()) return {};
  const uint64_t readable = std::min(bytes, disk.Size() - offset);
  auto array = ReadBytes(disk, offset, readable);
  crcOk = readable == claimed && Crc32(array) == h.entriesCrc;
  return array;
}

void AddGptEntries(platform::BlockDevice& disk, ByteView array, uint32_t entrySize,
                   PartitionTable& table) {
  for (uint64_t at = 0; InBounds(array.size(), at, entrySize); at += entrySize) {
    FieldReader r(array.subspan(at, entrySize));
    const ByteView type = r.Read(L::kGptEntryType);
    const uint64_t first = r.Read(L::kGptEntryFirstLba);
    const uint64_t last = r.Read(L::kGptEntryLastLba);
    if (!r.Ok() || IsZeroGuid(type)) continue;
    Partition p;
    std::copy_n(type.begin(), L::kGptEntryType.length, p.gptType.begin());
    // An inverted range keeps its number but holds nothing.
    AddPartition(table, disk.Size(), first, last >= first ? last - first + 1 : 0, p);
  }
}

// The primary header, else the backup at the disk's last sector; checksums
// decide first, and only when neither copy checks out do we take the first
// one that at least has the right shape.
bool ReadGpt(platform::BlockDevice& disk, uint32_t sectorSize, PartitionTable& table) {
  const uint64_t lastLba = disk.Size() / sectorSize;
  struct Copy {
    GptHeader header;
    std::vector<uint8_t> entries;
    bool usable = false;  // the header has the right shape
    bool valid = false;   // and both checksums match
  };
  Copy copies[2];
  const uint64_t lbas[2] = {1, lastLba > 0 ? lastLba - 1 : 0};
  for (int i = 0; i < 2; ++i) {
    Copy& c = copies[i];
    if (lbas[i] == 0 || !ReadGptHeader(disk, sectorSize, lbas[i], c.header)) continue;
    c.usable = true;
    bool entriesOk = false;
    c.entries = ReadGptEntries(disk, sectorSize, c.header, entriesOk);
    c.valid = c.header.crcOk && entriesOk;
  }
  const Copy* chosen = copies[0].valid ? &copies[0] : copies[1].valid ? &copies[1] : nullptr;
  if (!chosen) {
    for (const Copy& c : copies)
      if (!chosen && c.usable) chosen = &c;
  }
  if (!chosen) return false;
  table.kind = TableKind::Gpt;
  table.sectorSize = sectorSize;
  AddGptEntries(disk, chosen->entries, chosen->header.entrySize, table);
  return true;
}

bool HasProtectiveEntry(ByteView sector0) {
  for (int slot = 0; slot < L::kMbrSlots; ++slot)
    if (EntryAt(sector0, slot).type == kProtectiveType) return true;
  return false;
}

// The boot sector of each partition says what it holds better than the type
// byte: 0x07 is NTFS or exFAT, and GPT has no type byte at all.
void GuessFileSystems(platform::BlockDevice& disk, PartitionTable& table) {
  for (Partition& p : table.partitions) {
    uint8_t kind = kFsNone;
    if (p.lengthBytes >= 512) kind = RecognizeBootSector(ReadBytes(disk, p.startByte, 512));
    p.fsKind = kind != kFsNone ? kind : PartitionTypeToFsKind(p.mbrType);
  }
}

// A volume boot sector that also carries a plausible table is a disk that
// was formatted whole and partitioned later, when its first partition holds
// a file system of its own.
bool FirstPartitionHoldsVolume(platform::BlockDevice& disk, ByteView sector0, uint32_t sectorSize) {
  for (int slot = 0; slot < L::kMbrSlots; ++slot) {
    const MbrEntry e = EntryAt(sector0, slot);
    if (e.Empty() || IsExtendedType(e.type) || e.type == kProtectiveType) continue;
    uint64_t offset = 0;
    if (!CheckedMul(e.start, sectorSize, offset) || offset >= disk.Size()) return false;
    return RecognizeBootSector(ReadBytes(disk, offset, 512)) != kFsNone;
  }
  return false;
}

}  // namespace

bool IsVolumeBootSector(ByteView sector0) {
  const uint8_t kind = RecognizeBootSector(sector0);
  return kind != kFsNone && BootFieldsSane(sector0, kind);
}

PartitionTable ReadPartitionTable(platform::BlockDevice& disk) {
  PartitionTable table;
  table.sectorSize = TableSectorSize(disk);
  bool complete = false;
  const auto sector0 = ReadBytes(disk, 0, std::max<uint32_t>(table.sectorSize, 512), &complete);
  if (!complete || !HasBootSignature(sector0)) return table;
  const bool tableLike = MbrEntriesSane(sector0);
  if (IsVolumeBootSector(sector0) &&
      !(tableLike && FirstPartitionHoldsVolume(disk, sector0, table.sectorSize)))
    return table;
  if (!tableLike) return table;

  if (HasProtectiveEntry(sector0)) {
    // Image files report 512-byte sectors whatever disk they were taken
    // from; a GPT written for 4096-byte sectors has its header at 4096.
    if (ReadGpt(disk, table.sectorSize, table) ||
        (table.sectorSize == 512 && ReadGpt(disk, 4096, table))) {
      GuessFileSystems(disk, table);
      return table;
    }
  }
  ReadMbr(disk, sector0, table);
  GuessFileSystems(disk, table);
  return table;
}

std::string FormatGuid(const Guid& g) {
  char text[37];
  std::snprintf(text, sizeof text,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", g[3], g[2],
                g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13], g[14],
                g[15]);
  return text;
}

std::string PartitionFsText(const Partition& p) {
  return p.fsKind == kFsNone ? "unknown" : FsKindName(p.fsKind);
}

}  // namespace vellum::volume
