#include "fat/directory_cluster.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "fat/cluster_runs.h"
#include "fat/fat_entry.h"
#include "volume/exfat_layout.h"
#include "volume/zero_bytes.h"

namespace vellum::fat {

namespace {

// Attribute bits 0x40 and 0x80 are never set in an entry.
using fat_layout::kReservedAttributes;
using fat_layout::kLastSlotFlag;

bool IsWipedEntry(ByteView e) {
  return EntryFirstByte(e) == kDeletedMark && std::all_of(e.begin() + 1, e.end(), [](uint8_t b) { return b == 0; });
}

constexpr std::string_view kDot = ".          ", kDotDot = "..         ";

bool IsNamed(ByteView e, std::string_view name) {
  return e.size() >= name.size() && std::string_view(reinterpret_cast<const char*>(e.data()), name.size()) == name &&
         IsDirectoryEntry(e);
}

bool IsDotEntry(ByteView e) { return IsNamed(e, kDot) || IsNamed(e, kDotDot); }

bool IsWellFormedLongName(ByteView e) {
  if (Le(e, fat_layout::kSlotType) != 0) return false;
  const uint8_t sequence = Le(e, fat_layout::kSlotSequence);
  if (sequence == kDeletedMark) return true;
  const uint8_t number = sequence & static_cast<uint8_t>(~kLastSlotFlag);
  return number >= 1 && number <= kLongNameSlots;
}

bool IsWellFormedShort(ByteView e, uint64_t lastCluster) {
  if ((Le(e, fat_layout::kAttributes) & kReservedAttributes) != 0) return false;
  if (FatEntryFirstCluster(e) > lastCluster) return false;
  // The deleted mark (and 0x05, which stands for a first byte 0xE5) replaced
  // a name byte; any plain letter stands in for it in the name test.
  std::array<uint8_t, fat_layout::kShortName.length> name{};
  std::copy_n(e.begin() + fat_layout::kShortName.offset, name.size(), name.begin());
  if (name[0] == kDeletedMark || name[0] == fat_layout::kE5StandIn) name[0] = 'A';
  if (name[0] == ' ') return false;
  return !ShortNameHasForbiddenBytes(name);
}

bool IsWellFormedEntry(ByteView e, uint64_t lastCluster) {
  // The name tests below read the 11 name bytes directly.
  if (e.size() != kEntryBytes) return false;
  if (IsWipedEntry(e) || IsDotEntry(e)) return true;
  if (Le(e, fat_layout::kAttributes) == kAttrLongName) return IsLongNameEntry(e) && IsWellFormedLongName(e);
  return IsWellFormedShort(e, lastCluster);
}

}  // namespace

bool IsExfatDirectoryCluster(ByteView cluster) {
  if (cluster.empty() || cluster.size() % kEntryBytes != 0) return false;
  // A cluster of zeros is an end mark followed by unused slots: it passes,
  // as the test below would find slot by slot.
  if (AllZero(cluster)) return true;
  bool ended = false;
  for (size_t at = 0; at < cluster.size(); at += kEntryBytes) {
    const uint8_t type = Le(cluster, at, exfat_layout::kEntryType);
    if (type == 0) ended = true;
    else if (ended || !exfat_layout::IsKnownEntryType(type)) return false;
  }
  return true;
}

bool IsDirectoryCluster(ByteView cluster, uint64_t lastCluster) {
  if (cluster.empty() || cluster.size() % kEntryBytes != 0) return false;
  for (size_t at = 0; at < cluster.size(); at += kEntryBytes) {
    const ByteView e = cluster.subspan(at, kEntryBytes);
    if (EntryFirstByte(e) == fat_layout::kEndMark) return AllZero(cluster.subspan(at));
    if (!IsWellFormedEntry(e, lastCluster)) return false;
  }
  return true;
}

bool HasEndOfDirectory(ByteView cluster) {
  for (size_t at = 0; at + kEntryBytes <= cluster.size(); at += kEntryBytes)
    if (Le(cluster, at, fat_layout::kNameFirstByte) == fat_layout::kEndMark) return true;
  return false;
}

uint64_t ParentOfDirectory(ByteView cluster) {
  if (cluster.size() < 2 * kEntryBytes) return 0;
  const ByteView dot = cluster.subspan(0, kEntryBytes), dotDot = cluster.subspan(kEntryBytes, kEntryBytes);
  return IsNamed(dot, kDot) && IsNamed(dotDot, kDotDot) ? FatEntryFirstCluster(dotDot) : 0;
}

}  // namespace vellum::fat
