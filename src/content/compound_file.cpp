#include "content/compound_file.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "content/content_row.h"

namespace vellum::content {

namespace {

constexpr uint64_t kFatCountOffset = 0x2C;
constexpr uint64_t kFirstDirectorySectorOffset = 0x30;
constexpr uint32_t kDirectoryEntryBytes = 128;
constexpr int kMoreDirectorySectors = 1'000;

struct StreamName {
  std::u16string_view prefix;  // compared unit by unit, no terminator
  std::string_view ext;
};

// Tested in this order for every directory entry; the first prefix that an
// entry's name begins with decides.
constexpr std::array<StreamName, 16> kStreamNames = {{
    {u"Workbook", "xls"},
    {u"WordDocument", "doc"},
    {u"PowerPoint Document", "ppt"},
    {u"\u0004JSRV_SummaryInformation", "jtd"},
    {u"Book", "xls"},
    {u"PropData", "adp"},
    {u"TemplateID", "mdz"},
    {u"Console Root", "msc"},
    {u"Quill", "pub"},
    {u"\u4840", "msi"},  // installer tables: names are encoded from this unit on
    {u"Binder", "obd"},
    {u"JsAlbumInfo", "alb"},
    {u"ProjInfoEx", "suo"},
    {u"Workspace State", "opt"},
    {u"ISLOG_VERSION_INFO", "ilg"},
    {u"FileBlockStore", "mix"},
}};

// A directory entry's name (64 bytes of UTF-16 at its start) begins with
// `prefix`; false for an entry too short to hold the prefix.
bool NameBeginsWith(ByteView entry, std::u16string_view prefix) {
  FieldReader r(entry);
  for (size_t i = 0; i < prefix.size(); ++i)
    if (r.U16(i * 2) != prefix[i] || !r.Ok()) return false;
  return true;
}

int32_t Signed(uint32_t v) { return static_cast<int32_t>(v); }

// The highest entry of a FAT sector that is not free, counting down and
// stopping at 0. Entries the bytes lack count as in use, as zeros would.
uint32_t HighestUsedEntry(ByteView fat) {
  FieldReader r(fat);
  uint32_t h = kEntriesPerFatSector - 1;
  while (h > 0 && Signed(r.U32(uint64_t{h} * 4)) == kCompoundFree && r.Ok()) --h;
  return h;
}

// Where the last FAT sector's number is to be found: the header's DIFAT, or
// the last sector of the DIFAT chain. False when the chain cannot be followed
// to its end within fatCount.
bool FindLastFatList(CompoundReader& reader, ByteView header, uint32_t fatCount, CompoundSector& list,
                     uint32_t& length) {
  FieldReader r(header);
  int32_t d = Signed(r.U32(kFirstDifatSectorOffset));
  if (!r.Ok()) return false;
  if (d == kCompoundEndOfChain) {
    const ByteView difat = r.Bytes(kHeaderDifatOffset, kHeaderDifatEntries * 4);
    if (!r.Ok() || difat.size() > list.size()) return false;
    std::copy(difat.begin(), difat.end(), list.begin());
    length = kHeaderDifatEntries;
    return true;
  }
  for (uint64_t covered = kHeaderDifatEntries; covered < fatCount; covered += kDifatEntriesPerSector) {
    if (!reader.ReadCompoundSector(static_cast<uint32_t>(d), list)) return false;
    // The DIFAT sector's last entry links the next one.
    const int32_t next = Signed(FieldReader(list).U32(kDifatEntriesPerSector * 4));
    if (next == kCompoundEndOfChain || next == kCompoundFree) {
      length = kDifatEntriesPerSector;
      return true;
    }
    d = next;
  }
  return false;
}

}  // namespace

std::string ClassifyDirectorySector(CompoundReader& reader, uint32_t sector) {
  CompoundSector bytes{};
  if (!reader.ReadCompoundSector(sector, bytes)) return "doc";
  FieldReader all(bytes);
  for (uint32_t e = 0; e < kCompoundSectorBytes / kDirectoryEntryBytes; ++e) {
    const ByteView entry = all.Bytes(uint64_t{e} * kDirectoryEntryBytes, kDirectoryEntryBytes);
    for (const StreamName& row : kStreamNames)
      if (NameBeginsWith(entry, row.prefix)) return std::string(row.ext);
  }
  return "ole";
}

std::string ClassifyCompoundFile(CompoundReader& reader, ByteView header) {
  // A header too short for the field reads it as 0, as the zeros of an
  // unreadable header would; AnalyseCompoundFile counts such a header.
  uint32_t sector = FieldReader(header).U32(kFirstDirectorySectorOffset);
  std::string ext = ClassifyDirectorySector(reader, sector);
  for (int i = 0; i < kMoreDirectorySectors && ext == "ole"; ++i) {
    const int32_t next = reader.NextCompoundSector(header, sector);
    if (next == kCompoundEndOfChain || next == kCompoundFree) break;
    sector = static_cast<uint32_t>(next);
    ext = ClassifyDirectorySector(reader, sector);
  }
  return ext;
}

uint64_t CompoundSectorCount(CompoundReader& reader, ByteView header) {
  const uint32_t fatCount = FieldReader(header).U32(kFatCountOffset);
  const uint64_t largest = uint64_t{fatCount} * kEntriesPerFatSector;
  CompoundSector list{};
  uint32_t length = 0;
  if (header.size() < kCompoundSectorBytes || !FindLastFatList(reader, header, fatCount, list, length))
    return largest;
  // length is at most 127 entries of the 128 the sector holds.
  FieldReader entries(list);
  uint32_t i = 0;
  while (i < length && Signed(entries.U32(uint64_t{i} * 4)) != kCompoundFree && entries.Ok()) ++i;
  if (i == 0) return largest;
  CompoundSector fat{};
  if (!reader.ReadCompoundSector(entries.U32(uint64_t{i - 1} * 4), fat)) return largest;
  // A header claiming no FAT sector at all still led to one; it alone then
  // describes the file, rather than a count that wraps below zero.
  const uint64_t before = fatCount == 0 ? 0 : uint64_t{fatCount - 1} * kEntriesPerFatSector;
  return before + HighestUsedEntry(fat) + 1;
}

void AnalyseCompoundFile(volume::ScanState& state, uint64_t start, ByteView header) {
  // The header is one 512-byte sector; a shorter one is measured and
  // classified from the fields it holds, as before, and counted.
  if (header.size() < kCompoundSectorBytes) ++state.truncatedStructures;
  CompoundReader reader(state, start);
  const uint64_t sectorCount = CompoundSectorCount(reader, header);
  const std::string ext = ClassifyCompoundFile(reader, header);
  if (PassesNameFilter(state, ext))
    AddContentRow(state, ext, start, (sectorCount + 1) * kCompoundSectorBytes);
}

}  // namespace vellum::content
