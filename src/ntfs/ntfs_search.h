// The deleted-file search of NTFS volumes: every record the master file
// table's bitmap marks free but that still holds a file record is listed,
// with its folder path rebuilt from the parent references of its names.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ntfs/found_record.h"
#include "ntfs/parent_links.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

using volume::ScanState;
struct NtfsRestoreRun;  // ntfs/ntfs_restore.h

inline constexpr uint32_t kRootRecord = 5;
// Folder paths are cut at this length (as code page 932 counts it); the cut
// also ends parent references that loop.
inline constexpr size_t kMaxPathLength = 520;
inline constexpr const char* kUnknownFolder = "<不明>";

// The master file table's allocation bitmap and its record count, from a
// copy of mftRecord0.
struct MftLayout {
  std::vector<uint8_t> bitmap;  // bit n set: record n allocated
  uint32_t recordCount = 0;
  // Records past the bitmap count as allocated: nothing unknown is listed.
  bool Allocated(uint32_t n) const { return n / 8 >= bitmap.size() || ((bitmap[n / 8] >> (n % 8)) & 1); }
};
MftLayout ReadMftLayout(ScanState& state);

// Walks the table's free records. boundFolder and destinationRoot are those
// of a restore (operationMode 1, which also needs `restore`); the search
// passes 0 and an empty text. False when the volume gives no record count
// (nothing walked).
bool SearchNtfs(ScanState& state, uint32_t boundFolder, const std::string& destinationRoot,
                NtfsRestoreRun* restore = nullptr);

// What one walk remembers between rows: the folder paths already rebuilt
// (by parent record number; the disk does not change during a walk) and the
// last second converted to local time (files of a folder mostly share it).
struct NtfsRowCache {
  std::unordered_map<uint32_t, std::string> parentPaths;
  ParentLinks parentLinks;
  // The names of the last path rebuilt from the root, nearest first: a
  // folder whose parent that path belonged to takes it over with its own
  // name in front, instead of climbing the whole chain again. A deep chain
  // of folders then costs each of its folders one step.
  struct PathWindow {
    bool valid = false;
    uint32_t folder = 0;    // whose path it is
    bool cut = false;       // below a folder of unknown name: the path was too long
    std::deque<const ParentLink*> names;
    size_t length = 0;      // of the names and separators, in code page 932
    std::string text;       // the names, farthest first, joined
  } window;
  int64_t timeSeconds = INT64_MIN;
  std::string timeText;
};

// The record as a search lists it: its name, the folder its parent chain
// gives (below the root text), whether it is a folder, and where it was
// read. None for a record without a name or a time, which is never listed.
std::optional<FoundRecord> RecordItem(ScanState& state, NtfsRecordSource at, ByteView record,
                                      NtfsRowCache* cache = nullptr);

// Lists one record if it passes the filters. Record number 0: the record was
// found by the free-cluster scan at the source's cluster and slot. cache,
// when given, is the walk's.
void AddNtfsRow(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache* cache = nullptr);

// AddNtfsRow in two halves. The first reads what the row needs from the
// record and the device (the folder and time only when there is a result
// list); none when the record is not listed. The second lists it, touching
// only the result list, the progress and the type names. A row's folder text
// is the cache's: the cache must outlive the row.
// FormatFileTime's text (at most 67 bytes) held without an allocation.
struct FileTimeText {
  std::array<char, 72> bytes{};
  uint8_t length = 0;
  std::string_view View() const { return {bytes.data(), length}; }
};
struct NtfsRow {
  uint32_t record = 0;
  uint64_t cluster = 0;
  uint32_t slot = 0;
  bool folder = false;
  uint64_t size = 0;
  std::string name;
  std::string stream;  // an alternate data stream's row: its name ("NAME:STREAM" in `name`)
  const std::string* folderText = nullptr;
  FileTimeText time;
};
std::optional<NtfsRow> PrepareNtfsRow(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache& cache);
// The record's row as PrepareNtfsRow gives it, then one row per alternate
// data stream of a file ("NAME:STREAM", the stream's size, the record's time),
// each under the same filters. A stream is listed even when the file's own
// row is not (an empty main stream, a filter that names the stream).
void PrepareNtfsRows(ScanState& state, NtfsRecordSource at, ByteView record, NtfsRowCache& cache,
                     std::vector<NtfsRow>& rows);
void ListNtfsRow(ScanState& state, const NtfsRow& row);

// Puts the names of the parent folders before `path`, up to the root (then
// the root text leads it) or up to stopRecord (then it returns 1, path
// without a root). A parent that is no longer a folder becomes "<不明>".
int BuildParentPath(ScanState& state, std::string& path, uint64_t parentReference, uint32_t stopRecord);
// The same, remembering each folder record it reads in `cache`, so that the
// paths of a walk read each folder once.
int BuildParentPath(ScanState& state, std::string& path, uint64_t parentReference, uint32_t stopRecord,
                    NtfsRowCache& cache);

// The last-written time of the record's $STANDARD_INFORMATION, if it has one.
std::optional<uint64_t> LastWrittenTime(ScanState& state, ByteView record);

// Whether a record read from a scanned cluster is one of the volume's own
// metadata files: a reserved record number (below 16, the root folder
// included), or a name beginning with '$' in the root or in $Extend.
bool IsVolumeMetadataFile(ByteView record, std::string_view name, uint64_t parentReference);

// A record read from a scanned cluster may be listed: the orphan rule of
// every cluster scan, for its name, last-written time, data size and the
// cluster of its runs that is judged (OrphanRuleCluster).
bool IsListableOrphanRecord(const ScanState& state, std::string_view name, uint64_t fileTime, uint64_t size,
                            std::optional<uint64_t> firstCluster = std::nullopt);

// "YYYY/MM/DD hh:mm:ss.mmm" of a Windows file time, in local time.
std::string FormatFileTime(uint64_t fileTime, NtfsRowCache* cache = nullptr);
// The same text held without an allocation.
FileTimeText FileTimeTextOf(uint64_t fileTime, NtfsRowCache* cache);

}  // namespace vellum::ntfs
