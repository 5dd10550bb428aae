#include "platform/disk_bios.h"

#include <charconv>
#include <span>

namespace vellum::platform {

namespace {

inline constexpr uint8_t kFirstHardDisk = 0x80;
inline constexpr size_t kMaxUnits = 8;
inline constexpr size_t kMaxDiskettes = 2;
inline constexpr uint32_t kDisketteHeads = 2;
inline constexpr uint32_t kDisketteSectorsPerTrack = 18;
inline constexpr uint32_t kMaxCylinders = 1024;  // ten bits in the CHS call
inline constexpr uint32_t kDefaultHeads = 255;
inline constexpr uint32_t kDefaultSectorsPerTrack = 63;

bool ParseNumber(std::string_view text, uint32_t& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool IsBiosGeometry(uint32_t heads, uint32_t sectorsPerTrack) {
  return heads >= 1 && heads <= 256 && sectorsPerTrack >= 1 && sectorsPerTrack <= 63;
}

// The option texts after the file name, from the end: ":chs" and ":HxS".
bool ParseSuffixes(std::string_view& text, BiosUnitChoice& unit, std::string& error) {
  for (int round = 0; round < 2; ++round) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return true;
    const std::string_view tail = text.substr(colon + 1);
    if (tail == "chs" && unit.lba && !unit.diskette) {
      unit.lba = false;
    } else if (tail == "fd" && !unit.diskette && unit.lba && unit.heads == 0) {
      unit.diskette = true;
      unit.lba = false;
    } else if (const size_t x = tail.find('x'); x != std::string_view::npos && unit.heads == 0) {
      if (!ParseNumber(tail.substr(0, x), unit.heads) || !ParseNumber(tail.substr(x + 1), unit.sectorsPerTrack) ||
          !IsBiosGeometry(unit.heads, unit.sectorsPerTrack)) {
        error = "ヘッド数とトラックあたりのセクタ数は 1～256 と 1～63 で指定してください: " + std::string(tail);
        return false;
      }
    } else {
      return true;  // part of the file name
    }
    text = text.substr(0, colon);
  }
  return true;
}

// A partition entry's CHS address (start or end): cylinder, head and
// 1-based sector, from the three bytes at `at`.
struct Chs {
  uint32_t cylinder, head, sector;
};

Chs ChsAt(std::span<const uint8_t, 16> entry, size_t at) {
  return {static_cast<uint32_t>(entry[at + 2]) | (static_cast<uint32_t>(entry[at + 1] & 0xC0) << 2), entry[at],
          static_cast<uint32_t>(entry[at + 1] & 0x3F)};
}

uint32_t Le32At(std::span<const uint8_t, 16> entry, size_t at) {
  return static_cast<uint32_t>(entry[at]) | (static_cast<uint32_t>(entry[at + 1]) << 8) |
         (static_cast<uint32_t>(entry[at + 2]) << 16) | (static_cast<uint32_t>(entry[at + 3]) << 24);
}

// Whether a CHS address names `lba` under the geometry; the "too large for
// CHS" marker (cylinder 1023) says nothing, so it never disagrees.
bool ChsNames(const Chs& chs, uint64_t lba, uint32_t heads, uint32_t sectorsPerTrack) {
  if (chs.cylinder >= 1023) return true;
  if (chs.sector == 0 || chs.sector > sectorsPerTrack || chs.head >= heads) return false;
  return lba == (static_cast<uint64_t>(chs.cylinder) * heads + chs.head) * sectorsPerTrack + chs.sector - 1;
}

// Whether every used entry's CHS start and end agree with its LBA fields.
bool TableAgreesWith(const std::array<uint8_t, 512>& mbr, uint32_t heads, uint32_t sectorsPerTrack) {
  for (size_t i = 0; i < 4; ++i) {
    const std::span<const uint8_t, 16> entry(mbr.data() + 446 + 16 * i, 16);
    if (entry[4] == 0) continue;
    const uint64_t first = Le32At(entry, 8), count = Le32At(entry, 12);
    if (count == 0) continue;
    if (!ChsNames(ChsAt(entry, 1), first, heads, sectorsPerTrack) ||
        !ChsNames(ChsAt(entry, 5), first + count - 1, heads, sectorsPerTrack))
      return false;
  }
  return true;
}

}  // namespace

bool ParseBiosUnitName(std::string_view text, BiosUnitChoice& unit, std::string& error) {
  unit = {};
  if (!ParseSuffixes(text, unit, error)) return false;
  if (text.empty()) {
    error = "BIOS ディスクのファイル名がありません。";
    return false;
  }
  unit.path = std::string(text);
  return true;
}

// Old partitioning tools ended every partition on a cylinder boundary, so
// each end names the last head and the last sector of a track; today's tools
// align to 1 MiB and fill the CHS fields from 255 heads and 63 sectors. The
// geometry an end suggests is taken only when every entry's CHS start and end
// agree with its LBA fields under it; else 255 and 63.
void GeometryFromPartitionTable(BlockDevice& disk, uint32_t& heads, uint32_t& sectorsPerTrack) {
  heads = kDefaultHeads;
  sectorsPerTrack = kDefaultSectorsPerTrack;
  std::array<uint8_t, 512> mbr{};
  if (!disk.Read(0, mbr) || mbr[510] != 0x55 || mbr[511] != 0xAA) return;
  uint32_t foundHeads = 0, foundSectors = 0;
  for (size_t i = 0; i < 4; ++i) {
    const std::span<const uint8_t, 16> entry(mbr.data() + 446 + 16 * i, 16);
    if (entry[4] == 0) continue;
    const Chs end = ChsAt(entry, 5);
    if (end.sector == 0 || end.cylinder >= 1023) continue;
    const uint32_t h = end.head + 1, s = end.sector;
    if (foundHeads == 0) {
      foundHeads = h;
      foundSectors = s;
    } else if (foundHeads != h || foundSectors != s) {
      return;
    }
  }
  if (foundHeads != 0 && IsBiosGeometry(foundHeads, foundSectors) && TableAgreesWith(mbr, foundHeads, foundSectors)) {
    heads = foundHeads;
    sectorsPerTrack = foundSectors;
  }
}

void GeometryFromDisketteBoot(BlockDevice& disk, uint32_t& heads, uint32_t& sectorsPerTrack) {
  heads = kDisketteHeads;
  sectorsPerTrack = kDisketteSectorsPerTrack;
  std::array<uint8_t, 512> boot{};
  if (!disk.Read(0, boot)) return;
  // The BPB's sectors per track at 24 and heads at 26, both 16-bit.
  const uint32_t spt = boot[24] | (static_cast<uint32_t>(boot[25]) << 8);
  const uint32_t h = boot[26] | (static_cast<uint32_t>(boot[27]) << 8);
  if (IsBiosGeometry(h, spt)) {
    heads = h;
    sectorsPerTrack = spt;
  }
}

int EmulatedDiskBios::AddDisketteUnit(std::unique_ptr<BlockDevice> disk, uint32_t heads, uint32_t sectorsPerTrack) {
  if (!disk || diskettes_.size() >= kMaxDiskettes || !IsBiosGeometry(heads, sectorsPerTrack)) return kNoUnit;
  diskettes_.push_back({std::move(disk), heads, sectorsPerTrack, false});
  return static_cast<int>(kFirstDiskette + diskettes_.size() - 1);
}

uint8_t EmulatedDiskBios::AddUnit(std::unique_ptr<BlockDevice> disk, uint32_t heads, uint32_t sectorsPerTrack,
                                  bool lba) {
  if (!disk || units_.size() >= kMaxUnits || !IsBiosGeometry(heads, sectorsPerTrack)) return 0;
  units_.push_back({std::move(disk), heads, sectorsPerTrack, lba});
  return static_cast<uint8_t>(kFirstHardDisk + units_.size() - 1);
}

EmulatedDiskBios::Unit* EmulatedDiskBios::Find(uint8_t unit) {
  if (unit < kFirstDiskette + diskettes_.size()) return &diskettes_[unit - kFirstDiskette];
  if (unit < kFirstHardDisk || static_cast<size_t>(unit - kFirstHardDisk) >= units_.size()) return nullptr;
  return &units_[unit - kFirstHardDisk];
}

BlockDevice* EmulatedDiskBios::Disk(uint8_t unit) {
  Unit* u = Find(unit);
  return u ? u->disk.get() : nullptr;
}

int EmulatedDiskBios::i13_lba_check(uint8_t unit) {
  const Unit* u = Find(unit);
  return u && u->lba ? 1 : 0;
}

int EmulatedDiskBios::i13_get_drive_parameter(uint8_t unit, BiosGeometry& parameters) {
  const Unit* u = Find(unit);
  if (!u) return 0;
  parameters.fill(0);
  parameters[2] = static_cast<uint8_t>(u->heads - 1);
  parameters[6] = static_cast<uint8_t>(u->sectorsPerTrack);
  return 1;
}

int EmulatedDiskBios::i13x_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                                     uint32_t sector, uint32_t count) {
  Unit* u = Find(unit);
  if (!u) return kBiosBadUnit;
  if (!u->lba || (function != kBiosExtendedRead && function != kBiosExtendedWrite)) return kBiosBadCommand;
  return Transfer(*u, bytesPerSector, buffer, function == kBiosExtendedWrite, sector, count);
}

int EmulatedDiskBios::i13_io_sector(uint32_t bytesPerSector, uint8_t unit, uint8_t* buffer, uint8_t function,
                                    uint32_t head, uint32_t cylinder, uint32_t sector, uint32_t count) {
  Unit* u = Find(unit);
  if (!u) return kBiosBadUnit;
  if (function != kBiosChsRead && function != kBiosChsWrite) return kBiosBadCommand;
  // A CHS call never leaves its track.
  if (sector == 0 || sector > u->sectorsPerTrack || head >= u->heads || cylinder >= kMaxCylinders ||
      sector - 1 + static_cast<uint64_t>(count) > u->sectorsPerTrack)
    return kBiosSectorNotFound;
  const uint64_t lba = (static_cast<uint64_t>(cylinder) * u->heads + head) * u->sectorsPerTrack + (sector - 1);
  return Transfer(*u, bytesPerSector, buffer, function == kBiosChsWrite, lba, count);
}

int EmulatedDiskBios::Transfer(Unit& u, uint32_t bytesPerSector, uint8_t* buffer, bool write, uint64_t lba,
                               uint32_t count) {
  if (!buffer || bytesPerSector == 0 || count == 0 || count > kBiosMaxSectorsPerCall) return kBiosBadCommand;
  const uint64_t bytes = static_cast<uint64_t>(count) * bytesPerSector;
  const uint64_t offset = lba * bytesPerSector;
  if (offset / bytesPerSector != lba || offset + bytes < offset || offset + bytes > u.disk->Size())
    return kBiosSectorNotFound;
  if (write) {
    if (!u.disk->Writable()) return kBiosWriteProtected;
    return u.disk->Write(offset, std::span<const uint8_t>(buffer, bytes)) ? kBiosOk : kBiosWriteFault;
  }
  return u.disk->Read(offset, std::span<uint8_t>(buffer, bytes)) ? kBiosOk : kBiosReadError;
}

}  // namespace vellum::platform
