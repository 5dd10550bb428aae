#include "app/volume_label.h"

#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/find_attribute.h"
#include "ntfs/record.h"
#include "platform/codepage.h"
#include "volume/exfat_layout.h"
#include "volume/fat_layout.h"
#include "volume/le.h"
#include "volume/sector_io.h"

namespace vellum::app {

namespace {

constexpr uint32_t kVolumeRecord = 3;
constexpr uint32_t kAttrVolumeName = 0x60;

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

std::string Utf16Label(ByteView bytes, size_t units) {
  std::vector<uint16_t> text;
  for (size_t i = 0; i < units && 2 * i + 1 < bytes.size(); ++i) text.push_back(Le16(bytes, 2 * i));
  std::string out;
  platform::Utf16ToUtf8(text, out);
  return out;
}

// The first cluster (or, on FAT12/16, the first sectors) of the root.
std::vector<uint8_t> RootStart(volume::ScanState& s) {
  std::vector<uint8_t> bytes;
  if (s.fsKind == volume::kFat12 || s.fsKind == volume::kFat16) {
    const uint32_t sectors = std::min<uint32_t>(s.rootDirSectors, 64);
    bytes.resize(uint64_t{sectors} * s.bytesPerSector);
    if (!volume::ReadSectors(s, s.rootDirSector, sectors, bytes)) bytes.clear();
  } else if (s.clusterBytes > 0 && s.clusterBytes <= (32u << 20)) {
    bytes.resize(s.clusterBytes);
    if (!volume::ReadCluster(s, s.rootCluster, bytes)) bytes.clear();
  }
  return bytes;
}

std::string FatLabel(volume::ScanState& s) {
  const std::vector<uint8_t> root = RootStart(s);
  static_assert(fat_layout::kEntryBytes == exfat_layout::kEntryBytes);
  for (size_t at = 0; at + fat_layout::kEntryBytes <= root.size(); at += fat_layout::kEntryBytes) {
    const uint8_t first = root[at];
    if (first == 0) break;
    if (s.fsKind == volume::kExfat) {
      using namespace exfat_layout;
      if (first == kLabelEntry)
        return Utf16Label(ByteView(root).subspan(at + kLabelUnits.offset, kLabelUnits.length),
                          std::min<size_t>(Le(root, at, kLabelUnitCount), kMaxLabelUnits));
      continue;
    }
    // A label entry: the label attribute alone (long-name entries carry 0x0F).
    const uint8_t attributes = Le(root, at, fat_layout::kAttributes);
    if (first != fat_layout::kDeletedMark && (attributes & 0x1F) == fat_layout::kAttrVolumeLabel) {
      std::string cp932(reinterpret_cast<const char*>(&root[at + fat_layout::kShortName.offset]),
                        fat_layout::kShortName.length);
      std::string utf8;
      return platform::Cp932ToUtf8(cp932, utf8) ? Trimmed(utf8) : Trimmed(cp932);
    }
  }
  return {};
}

// The boot sector keeps a copy, which formatting tools write and some never update.
std::string BootSectorLabel(volume::ScanState& s) {
  if (s.fsKind == volume::kExfat || s.bytesPerSector < 512) return {};
  std::vector<uint8_t> boot(s.bytesPerSector);
  if (!volume::ReadSectors(s, 0, 1, boot)) return {};
  const ByteField at = s.fsKind == volume::kFat32 ? fat_layout::kLabel32 : fat_layout::kLabel16;
  std::string label = Trimmed(std::string(reinterpret_cast<const char*>(&boot[at.offset]), at.length));
  std::string utf8;
  if (label == "NO NAME" || !platform::Cp932ToUtf8(label, utf8)) return {};
  return utf8;
}

std::string NtfsLabel(volume::ScanState& s) {
  std::vector<uint8_t> record(s.mftRecordSize);
  if (record.empty() || !ntfs::ReadMftRecord(s, kVolumeRecord, record)) return {};
  const auto ref = ntfs::FindAttribute(s, record, kAttrVolumeName, 0, true);
  if (!ref) return {};
  const ByteView value = ntfs::ResidentValue(ntfs::AttributeBytes(record, *ref));
  return Utf16Label(value, value.size() / 2);
}

}  // namespace

std::string VolumeLabel(volume::ScanState& state) {
  switch (state.fsKind) {
    case volume::kNtfs: return NtfsLabel(state);
    case volume::kFat12:
    case volume::kFat16:
    case volume::kFat32:
    case volume::kExfat: {
      const std::string label = FatLabel(state);
      return label.empty() ? BootSectorLabel(state) : label;
    }
    default: return {};
  }
}

}  // namespace vellum::app
