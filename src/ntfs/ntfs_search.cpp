#include "ntfs/ntfs_search.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>

#include "ntfs/attribute.h"
#include "ntfs/data_streams.h"
#include "ntfs/file_name.h"
#include "ntfs/find_attribute.h"
#include "ntfs/mft_reader.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/record.h"
#include "ntfs/record_state.h"
#include "ntfs/recycle_bin.h"
#include "ntfs/table_walk.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "volume/cancel.h"
#include "volume/listing.h"
#include "volume/ntfs_layout.h"
#include "volume/orphan_rule.h"

namespace vellum::ntfs {

namespace {

const std::string kSeparator(1, platform::kPathSeparator);

constexpr std::string_view kFileNumberCaption = "ﾌｧｲﾙ番号：";
// Steps up the parent chain at most; every folder name adds to the path, so
// only nameless folders pointing at each other could go on longer.
constexpr int kMaxParentSteps = 1024;

std::string NameToUtf8(const std::u16string& name) {
  std::string utf8;
  platform::Utf16ToUtf8(std::span<const uint16_t>(reinterpret_cast<const uint16_t*>(name.data()), name.size()),
                        utf8);
  return utf8;
}

uint64_t ValueSize(const AttributeHeader& h) { return h.nonResident ? h.dataSize : h.valueLength; }

// Right-aligned in eight characters, as "%8llu" gives it.
std::string PadRight8(uint64_t value) {
  char digits[24];
  const size_t length = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
  std::string text(length < 8 ? 8 - length : 0, ' ');
  return text.append(digits, length);
}

std::optional<uint64_t> WrittenTimeIn(ByteView standardInformation) {
  FieldReader r(ResidentValue(standardInformation));
  const uint64_t written = r.Read(ntfs_layout::kInfoWrittenTime);
  if (!r.Ok()) return std::nullopt;
  return written;
}

}  // namespace

std::optional<uint64_t> LastWrittenTime(ScanState& state, ByteView record) {
  std::vector<uint8_t> copy;
  AttributeRef ref;
  if (!FindHeader(state, record, kAttrStandardInformation, copy, ref)) return std::nullopt;
  return WrittenTimeIn(AttributeBytes(copy, ref));
}

bool IsVolumeMetadataFile(ByteView record, std::string_view name, uint64_t parentReference) {
  constexpr uint64_t kExtendRecord = 11;
  constexpr uint32_t kFirstUserRecord = 16;
  // The record's own number, where the header keeps one: the first sixteen
  // are the volume's, the root folder "." among them.
  if (Le(record, ntfs_layout::kUpdateSequenceOffset) >= ntfs_layout::kRecordNumberFollowsFrom &&
      Le(record, ntfs_layout::kRecordNumber) < kFirstUserRecord)
    return true;
  const uint64_t parent = parentReference & 0xFFFFFFFFFFFFull;
  return name.starts_with('$') && (parent == kRootRecord || parent == kExtendRecord);
}

bool IsListableOrphanRecord(const ScanState& state, std::string_view name, uint64_t fileTime, uint64_t size,
                            std::optional<uint64_t> firstCluster) {
  constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
  volume::OrphanFacts facts;
  facts.name = name;
  struct tm local {};
  if (platform::LocalTime(static_cast<time_t>(static_cast<int64_t>(fileTime / 10000000) - kUnixEpochSeconds), local))
    facts.time = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
  facts.size = size;
  facts.firstCluster = firstCluster;
  return volume::CheckOrphan(state, facts) == volume::OrphanFault::kNone;
}

FileTimeText FileTimeTextOf(uint64_t fileTime, NtfsRowCache* cache) {
  constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
  const int64_t seconds = static_cast<int64_t>(fileTime / 10000000) - kUnixEpochSeconds;
  const unsigned milliseconds = static_cast<unsigned>((fileTime / 10000) % 1000);
  // The local-time conversion is the costly part of a row; a walk does it
  // once per second seen.
  int64_t uncachedSeconds = INT64_MIN;
  std::string uncachedText;
  int64_t& cachedSeconds = cache ? cache->timeSeconds : uncachedSeconds;
  std::string& cachedText = cache ? cache->timeText : uncachedText;
  if (seconds != cachedSeconds) {
    const time_t t = static_cast<time_t>(seconds);
    struct tm local {};
    char text[64];
    if (!platform::LocalTime(t, local)) {
      cachedText = "0000/00/00 00:00:00";
    } else {
      std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                    local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
      cachedText = text;
    }
    cachedSeconds = seconds;
  }
  const char fraction[4] = {'.', static_cast<char>('0' + milliseconds / 100),
                            static_cast<char>('0' + milliseconds / 10 % 10), static_cast<char>('0' + milliseconds % 10)};
  FileTimeText out;
  // The seconds' text came from a 64-byte buffer: it and the fraction fit.
  const size_t length = std::min(cachedText.size(), out.bytes.size() - sizeof fraction);
  std::copy_n(cachedText.begin(), length, out.bytes.begin());
  std::copy_n(fraction, sizeof fraction, out.bytes.begin() + static_cast<ptrdiff_t>(length));
  out.length = static_cast<uint8_t>(length + sizeof fraction);
  return out;
}

std::string FormatFileTime(uint64_t fileTime, NtfsRowCache* cache) {
  return std::string(FileTimeTextOf(fileTime, cache).View());
}

MftLayout ReadMftLayout(ScanState& state) {
  MftLayout layout;
  if (state.mftRecordSize == 0) return layout;
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const auto data = FindHeader(state, state.mftRecord0, kAttrData, copy, ref);
  if (!data) return layout;
  // Record numbers are 32-bit, and no table can hold more records than the
  // device has room for.
  const uint64_t deviceRecords = state.volumeHandle ? state.volumeHandle->Size() / state.mftRecordSize : 0;
  layout.recordCount =
      static_cast<uint32_t>(std::min<uint64_t>({ValueSize(*data) / state.mftRecordSize, deviceRecords, UINT32_MAX}));
  if (!FindHeader(state, state.mftRecord0, kAttrBitmap, copy, ref)) return layout;
  ReadAttributeValue(state, copy, ref, (uint64_t{layout.recordCount} + 7) / 8, layout.bitmap);
  return layout;
}

namespace {

// The folder names met, nearest first, before the path they lead to; each
// name is followed by a separator when what came after it was not empty.
struct ClimbedNames {
  std::vector<const ParentLink*> names;
  std::vector<bool> separated;
  bool tailEmpty;
  size_t length;  // in code page 932

  explicit ClimbedNames(const std::string& tail) : tailEmpty(tail.empty()), length(platform::Cp932Length(tail)) {}
  void Add(const ParentLink& link) {
    names.push_back(&link);
    separated.push_back(!tailEmpty);
    length += link.nameLength + (tailEmpty ? 0 : 1);
    tailEmpty = tailEmpty && link.name.empty();
  }
  std::string Joined(const std::string& tail) const {
    std::string path;
    for (size_t i = names.size(); i-- > 0;) {
      path += names[i]->name;
      if (separated[i]) path += platform::kPathSeparator;
    }
    return path + tail;
  }
};

// After a climb from `folder` to the root: the window holds its names when
// they all have a name to give (each then adds to the length, so no chain in
// the window runs past the steps a climb may take).
void TakeWindow(NtfsRowCache& cache, uint32_t folder, const ClimbedNames& climbed, bool cut, const std::string& below) {
  NtfsRowCache::PathWindow& w = cache.window;
  w.valid = !climbed.names.empty() &&
            std::none_of(climbed.names.begin(), climbed.names.end(), [](const ParentLink* l) { return l->name.empty(); });
  if (!w.valid) return;
  w.folder = folder;
  w.cut = cut;
  w.names.assign(climbed.names.begin(), climbed.names.end());
  w.length = climbed.length;
  w.text = below;
}

// The path of `folder` from the window, when the window holds its parent's:
// the same text the climb would give.
bool ExtendWindow(ScanState& state, uint32_t folder, NtfsRowCache& cache, std::string& path) {
  NtfsRowCache::PathWindow& w = cache.window;
  if (!w.valid || folder == kRootRecord) return false;
  const ParentLink& link = cache.parentLinks.Of(state, folder);
  if (!link.folder || !link.named || link.name.empty() || static_cast<uint32_t>(link.parentReference) != w.folder)
    return false;
  w.names.push_front(&link);
  w.length += link.nameLength + 1;
  (w.text += platform::kPathSeparator) += link.name;
  w.cut = w.cut || w.length > kMaxPathLength;
  if (w.cut) {
    // The climb stops at the first name that makes the path too long.
    size_t dropped = 0;
    while (w.names.size() > 1 && w.length - (w.names.back()->nameLength + 1) > kMaxPathLength) {
      w.length -= w.names.back()->nameLength + 1;
      dropped += w.names.back()->name.size() + 1;
      w.names.pop_back();
    }
    w.text.erase(0, dropped);
  }
  w.folder = folder;
  path = state.rootPath + (w.cut ? std::string(kUnknownFolder) + kSeparator : std::string()) + w.text;
  return true;
}

}  // namespace

int BuildParentPath(ScanState& state, std::string& path, uint64_t parentReference, uint32_t stopRecord) {
  NtfsRowCache cache;
  return BuildParentPath(state, path, parentReference, stopRecord, cache);
}

int BuildParentPath(ScanState& state, std::string& path, uint64_t parentReference, uint32_t stopRecord,
                    NtfsRowCache& cache) {
  // The names are gathered going up and joined once at the end: prepending
  // each to the path would copy it at every step.
  ClimbedNames climbed(path);
  const uint32_t start = static_cast<uint32_t>(parentReference);
  const bool fromRoot = path.empty() && stopRecord == kRootRecord;
  cache.window.valid = false;
  std::vector<uint32_t> passed;
  for (int step = 0; step < kMaxParentSteps; ++step) {
    const uint32_t n = static_cast<uint32_t>(parentReference);
    if (std::find(passed.begin(), passed.end(), n) != passed.end()) {
      // A chain that comes back to a folder it passed was damaged: the
      // folders up to the first repeat stand below "<不明>", once each.
      ++state.truncatedStructures;
      const std::string below = climbed.Joined(path);
      path = state.rootPath + kUnknownFolder + (below.empty() ? "" : kSeparator + below);
      return 0;
    }
    passed.push_back(n);
    if (n == kRootRecord) {
      const std::string below = climbed.Joined(path);
      if (fromRoot) TakeWindow(cache, start, climbed, false, below);
      path = state.rootPath + below;
      return 0;
    }
    if (n == stopRecord) {
      path = climbed.Joined(path);
      return 1;
    }
    const ParentLink& link = cache.parentLinks.Of(state, n);
    if (!link.folder) {
      // The parent's record was reused for a file, or holds no record at all.
      const std::string below = climbed.Joined(path);
      path = state.rootPath + kUnknownFolder + (below.empty() ? "" : kSeparator + below);
      return 0;
    }
    if (!link.named) {
      path = climbed.Joined(path);
      return 0;
    }
    climbed.Add(link);
    if (climbed.length > kMaxPathLength) {
      const std::string below = climbed.Joined(path);
      if (fromRoot) TakeWindow(cache, start, climbed, true, below);
      path = state.rootPath + kUnknownFolder + kSeparator + below;
      return 0;
    }
    parentReference = link.parentReference;
  }
  path = state.rootPath + kUnknownFolder + kSeparator + climbed.Joined(path);
  return 0;
}

// The folder column: the rebuilt path of the parent, or the root text; the
// text the walk's cache keeps.
const std::string& FolderPath(ScanState& state, uint64_t parentReference, NtfsRowCache& cache) {
  const uint32_t parent = static_cast<uint32_t>(parentReference);
  if (auto it = cache.parentPaths.find(parent); it != cache.parentPaths.end()) return it->second;
  std::string path;
  if (!ExtendWindow(state, parent, cache, path)) BuildParentPath(state, path, parentReference, kRootRecord, cache);
  if (path.empty()) path = state.rootPath;
  return cache.parentPaths.emplace(parent, std::move(path)).first->second;
}

std::string FolderPath(ScanState& state, uint64_t parentReference, NtfsRowCache* cache) {
  if (cache) return FolderPath(state, parentReference, *cache);
  std::string path;
  BuildParentPath(state, path, parentReference, kRootRecord);
  return path.empty() ? state.rootPath : path;
}

std::optional<FoundRecord> RecordItem(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache* cache) {
  const auto name = FileNameOf(state, record);
  if (!name || !LastWrittenTime(state, record)) return std::nullopt;
  FoundRecord item;
  if (at.recordNumber != 0) at.cluster = at.slot = 0;
  item.source = at;
  item.name = NameToUtf8(name->name);
  item.folder = FolderPath(state, name->parentReference, cache);
  if (item.folder.starts_with(state.rootPath)) item.folder.erase(0, state.rootPath.size());
  item.isFolder = (RecordFlags(record) & kRecordDirectory) != 0;
  return item;
}

namespace {

// What a row must pass besides having a name and a time: the zero-size
// option and the name filter. A stream's rows are judged on their own.
struct RowChecks {
  bool size = true;
  bool filter = true;
};

std::optional<NtfsRow> PrepareRecordRow(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache& cache,
                                        RowChecks checks) {
  const uint32_t recordNumber = at.recordNumber;
  // What the record holds itself is read from it in place; only what it
  // moved behind an attribute list is searched for there.
  const RecordSummary summary = SummariseRecord(record);
  // Counted here, once per record a search lists from: the readers below
  // each end the same cut structure again.
  if (summary.cutShort && checks.size) ++state.truncatedStructures;
  const auto name =
      summary.fileName ? FileNameIn(AttributeBytes(record, *summary.fileName)) : FileNameOf(state, record);
  const auto written = summary.standardInformation
                           ? WrittenTimeIn(AttributeBytes(record, *summary.standardInformation))
                           : LastWrittenTime(state, record);
  if (!name || !written) return std::nullopt;
  NtfsRow row;
  row.folder = (RecordFlags(record) & kRecordDirectory) != 0;
  std::optional<uint64_t> runCluster;
  if (!row.folder) {
    std::vector<uint8_t> scratch;
    AttributeRef ref = summary.data.value_or(AttributeRef{});
    const auto data = summary.data ? ParseAttribute(AttributeBytes(record, ref))
                                   : FindHeader(state, record, kAttrData, scratch, ref);
    if (data) row.size = ValueSize(*data);
    if (checks.size && row.size == 0 && !state.options.zeroSize) return std::nullopt;
    if (data && recordNumber == 0)
      runCluster = OrphanRuleCluster(state, AttributeBytes(summary.data ? record : ByteView(scratch), ref));
  }
  row.name = NameToUtf8(name->name);
  // The full scan reads the table's own clusters too, where the volume's
  // metadata files stand ($MFT, $LogFile, $Bitmap ... and those of $Extend):
  // in use, never deleted, listed only with the in-use option.
  if (recordNumber == 0 && !state.options.inUse && IsVolumeMetadataFile(record, row.name, name->parentReference))
    return std::nullopt;
  // A record found in free clusters may be garbage read as a record (claiming
  // gigabytes, dated past year 9999, its data past the volume's end): the
  // orphan rule of every scan.
  if (recordNumber == 0 && !IsListableOrphanRecord(state, row.name, *written, row.size, runCluster))
    return std::nullopt;
  if (checks.filter && !volume::NameMatchesFilter(row.name, state.options.filter)) return std::nullopt;
  row.record = recordNumber;
  row.cluster = at.cluster;
  row.slot = at.slot;
  if (state.rows == nullptr) return row;
  row.folderText = &FolderPath(state, name->parentReference, cache);
  row.time = FileTimeTextOf(*written, &cache);
  return row;
}

}  // namespace

std::optional<NtfsRow> PrepareNtfsRow(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache& cache) {
  return PrepareRecordRow(state, at, record, cache, {});
}

void PrepareNtfsRows(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache& cache,
                     std::vector<NtfsRow>& rows) {
  auto main = PrepareNtfsRow(state, at, record, cache);
  if (main) rows.push_back(*main);
  // A folder's streams, as a file's, are rows beside it: "Docs:about".
  const std::vector<DataStream> streams = NamedDataStreams(state, record);
  if (streams.empty()) return;
  if (!main) main = PrepareRecordRow(state, at, record, cache, {false, false});
  if (!main) return;
  for (const DataStream& stream : streams) {
    NtfsRow row = *main;
    row.folder = false;
    row.name += ':';
    row.name += stream.utf8;
    row.stream = stream.utf8;
    row.size = stream.size;
    if (row.size == 0 && !state.options.zeroSize) continue;
    if (!volume::NameMatchesFilter(row.name, state.options.filter)) continue;
    rows.push_back(std::move(row));
  }
}

void ListNtfsRow(ScanState& state, const NtfsRow& row) {
  std::string_view typeName;
  const size_t index = volume::ListFoundEntry(state, row.name, row.folder, &typeName);
  RowSink* rows = state.rows;
  if (rows == nullptr) return;
  rows->SetCell(index, 1, row.folderText ? std::string_view(*row.folderText) : std::string_view());
  rows->SetCell(index, 2, row.folder ? std::string() : std::to_string(row.size));
  rows->SetDataWord(index, row.folder ? volume::kRowFolder : !row.stream.empty() ? volume::kRowStream : 0);
  // A stream is no file of its extension's type, and neither is the bin's
  // index of one.
  if (!row.stream.empty()) typeName = kStreamTypeName;
  else if (!row.folder && row.folderText && IsBinIndexRow(row.name, *row.folderText))
    typeName = kBinIndexTypeName;
  rows->SetCell(index, 3, typeName);
  rows->SetCell(index, 4, row.time.View());
  if (row.record != 0) {
    rows->SetCell(index, 5, PadRight8(row.record));
  } else {
    rows->SetCell(index, 6, PadRight8(row.cluster));
    rows->SetCell(index, 7, PadRight8(row.slot));
  }
}

void AddNtfsRow(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache* cache) {
  std::optional<NtfsRowCache> own;
  if (cache == nullptr) cache = &own.emplace();
  std::vector<NtfsRow> rows;
  PrepareNtfsRows(state, at, record, *cache, rows);
  for (const NtfsRow& row : rows) ListNtfsRow(state, row);
}

bool SearchNtfs(ScanState& state, uint32_t boundFolder, const std::string& destinationRoot,
                NtfsRestoreRun* restore) {
  const MftLayout layout = ReadMftLayout(state);
  if (layout.recordCount == 0) return false;
  Progress* progress = state.operationMode == volume::kModeSearch ? state.progress : nullptr;
  if (progress) {
    progress->OpenProgress();
    progress->StartPhase(kFileNumberCaption, std::max<uint64_t>(layout.recordCount - 1, 1));
  }
  bool cancelled = false;
  if (state.operationMode == volume::kModeSearch) {
    cancelled = WalkTableForSearch(state, layout, progress);
  } else if (state.operationMode == volume::kModeRestore && restore) {
    std::vector<uint8_t> record(state.mftRecordSize);
    MftRecordReader reader(state);
    for (uint32_t n = 0; n < layout.recordCount && !cancelled; ++n) {
      if (layout.Allocated(n)) continue;
      if (!reader.Read(n, record) || (RecordFlags(record) & kRecordInUse) != 0) continue;
      RestoreNtfsRecord(state, n, record, boundFolder, destinationRoot, *restore);
      cancelled = volume::CancelRequested(state);
    }
  }
  // The table walk's lister writes nothing the helper thread reads, so its
  // Cancel is recorded here, once the helper has ended.
  if (cancelled) state.cancelled = 1;
  else if (progress) volume::CancelRequested(state);
  if (progress) progress->CloseProgress();
  return true;
}

}  // namespace vellum::ntfs
