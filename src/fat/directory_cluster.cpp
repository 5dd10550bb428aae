#include "fat/directory_cluster.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "fat/cluster_runs.h"
#include "fat/fat_entry.h"
#include "volume/zero_bytes.h"

namespace vellum::fat {

namespace {

// Attribute bits 0x40 and 0x80 are never set in an entry.
constexpr uint8_t kReservedAttributes = 0xC0;
constexpr uint8_t kLastSlotFlag = 0x40;

bool IsWipedEntry(ByteView e) {
  return Le8(e, 0) == kDeletedMark && std::all_of(e.begin() + 1, e.end(), [](uint8_t b) { return b == 0; });
}

constexpr std::string_view kDot = ".          ", kDotDot = "..         ";

bool IsNamed(ByteView e, std::string_view name) {
  return e.size() >= name.size() && std::string_view(reinterpret_cast<const char*>(e.data()), name.size()) == name &&
         IsDirectoryEntry(e);
}

bool IsDotEntry(ByteView e) { return IsNamed(e, kDot) || IsNamed(e, kDotDot); }

bool IsWellFormedLongName(ByteView e) {
  if (Le8(e, 12) != 0) return false;  // the type byte of a name slot
  const uint8_t sequence = Le8(e, 0);
  if (sequence == kDeletedMark) return true;
  const uint8_t number = sequence & static_cast<uint8_t>(~kLastSlotFlag);
  return number >= 1 && number <= kLongNameSlots;
}

bool IsWellFormedShort(ByteView e, uint64_t lastCluster) {
  if ((Le8(e, 11) & kReservedAttributes) != 0) return false;
  if (FatEntryFirstCluster(e) > lastCluster) return false;
  // The deleted mark (and 0x05, which stands for a first byte 0xE5) replaced
  // a name byte; any plain letter stands in for it in the name test.
  std::array<uint8_t, 11> name{};
  std::copy_n(e.begin(), 11, name.begin());
  if (name[0] == kDeletedMark || name[0] == 0x05) name[0] = 'A';
  if (name[0] == ' ') return false;
  return !ShortNameHasForbiddenBytes(name);
}

bool IsWellFormedEntry(ByteView e, uint64_t lastCluster) {
  // The name tests below read the 11 name bytes directly.
  if (e.size() != kEntryBytes) return false;
  if (IsWipedEntry(e) || IsDotEntry(e)) return true;
  if (Le8(e, 11) == kAttrLongName) return IsLongNameEntry(e) && IsWellFormedLongName(e);
  return IsWellFormedShort(e, lastCluster);
}

// The entry types of an exFAT directory with the in-use bit cleared:
// bitmap, up-case table, label, file, GUID, padding, ACL, stream, name and
// the vendor entries.
bool IsExfatEntryType(uint8_t type) {
  switch (type & 0x7F) {
    case 0x01: case 0x02: case 0x03: case 0x05: case 0x20: case 0x21: case 0x22:
    case 0x40: case 0x41: case 0x60: case 0x61:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsExfatDirectoryCluster(ByteView cluster) {
  if (cluster.empty() || cluster.size() % kEntryBytes != 0) return false;
  // A cluster of zeros is an end mark followed by unused slots: it passes,
  // as the test below would find slot by slot.
  if (AllZero(cluster)) return true;
  bool ended = false;
  for (size_t at = 0; at < cluster.size(); at += kEntryBytes) {
    const uint8_t type = Le8(cluster, at);
    if (type == 0) ended = true;
    else if (ended || !IsExfatEntryType(type)) return false;
  }
  return true;
}

bool IsDirectoryCluster(ByteView cluster, uint64_t lastCluster) {
  if (cluster.empty() || cluster.size() % kEntryBytes != 0) return false;
  for (size_t at = 0; at < cluster.size(); at += kEntryBytes) {
    const ByteView e = cluster.subspan(at, kEntryBytes);
    if (Le8(e, 0) == 0) return AllZero(cluster.subspan(at));
    if (!IsWellFormedEntry(e, lastCluster)) return false;
  }
  return true;
}

bool HasEndOfDirectory(ByteView cluster) {
  for (size_t at = 0; at + kEntryBytes <= cluster.size(); at += kEntryBytes)
    if (Le8(cluster, at) == 0) return true;
  return false;
}

uint64_t ParentOfDirectory(ByteView cluster) {
  if (cluster.size() < 2 * kEntryBytes) return 0;
  const ByteView dot = cluster.subspan(0, kEntryBytes), dotDot = cluster.subspan(kEntryBytes, kEntryBytes);
  return IsNamed(dot, kDot) && IsNamed(dotDot, kDotDot) ? FatEntryFirstCluster(dotDot) : 0;
}

}  // namespace vellum::fat
