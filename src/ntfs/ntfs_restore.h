// Restoring deleted NTFS files and folders into a destination folder: a
// deleted folder with everything below it (the table walk in restore mode),
// or one file record at a time (a result row). The volume is only read; the
// names come from a damaged disk and never lead outside the destination.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ntfs/found_record.h"
#include "ntfs/parent_links.h"
#include "restore/outcome.h"
#include "restore/restore_target.h"
#include "volume/le.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::ntfs {

using volume::ScanState;

inline constexpr std::string_view kWriteFailedMessage = "ファイルの書き込みに失敗しました。";

// Whether the record a row lists is still there and still carries the
// name it was listed under.
bool RecordCarriesName(ScanState& state, const FoundRecord& found);

// The record a listed row names, by its number or by the cluster and slot a
// scan found it at; empty when it cannot be read or is no file record.
std::optional<std::vector<uint8_t>> LoadRecord(ScanState& state, const NtfsRecordSource& source);

enum class WriteOutcome {
  kWritten,
  kIncomplete,   // written whole, with zeros where clusters could not be read
  kWriteFailed,  // the sink refused bytes
  kCancelled,    // Cancel: the sink has the steps completed
};

// Takes the bytes of a record's data in order; `read` is false for bytes
// that stand for clusters that could not be read. False stops the copy.
using DataSink = std::function<bool(ByteView bytes, bool read)>;

// Hands the record's unnamed $DATA (or the alternate data stream `stream`)
// to `sink`: 16 clusters per step, or one compression unit decompressed.
// Cancel is polled before every step (state.cancelled is then set). A record
// without that $DATA gives nothing.
WriteOutcome CopyRecordData(ScanState& state, ByteView record, const DataSink& sink,
                            std::u16string_view stream = {});

// Restores a listed record into the destination folder of its folder: a
// file under its record's own name; a deleted folder under the listed name,
// with everything below it, its time set once its contents are in. False
// for a folder that cannot be restored as one (no record number, or a name
// that cannot be a folder's).
bool RestoreFoundRecord(ScanState& state, const restore::RestoreTarget& target, const FoundRecord& found);

// Which of a record's data a file restore writes, and under which name.
struct NtfsFileChoice {
  std::string stream;  // one alternate data stream alone (its UTF-8 name); empty: the file and every stream
  std::string name;    // instead of the record's own name, when not empty
};

// Restores one file row into destinationFolder (which must exist) under the
// record's own name made unique, with its modification time, and each of
// its alternate data streams beside it ("NAME:STREAM", or "NAME_STREAM"
// where the destination takes no ':'). False when something was skipped or
// failed (the outcome says why) or cut short by Cancel (the partial file is
// removed). A record or stream restored before in the same command is not
// written again.
bool RestoreNtfsFile(ScanState& state, const NtfsRecordSource& source, const std::string& destinationFolder,
                     Messages& messages, restore::Outcomes& outcomes, const NtfsFileChoice& choice = {});

// The last-written time of the record at `source`, when it can be read.
std::optional<timespec> RecordTime(ScanState& state, const NtfsRecordSource& source);

// What a restore walk keeps from record to record: the records of one folder
// mostly follow each other, so the last parent's path relative to the
// bounding folder is rebuilt once for them all.
struct NtfsRestoreCache {
  uint64_t lastParent = 0;
  std::string path;         // relative to the bounding folder; empty: the folder itself
  bool inside = false;      // the parent lies below the bounding folder
  bool unsafeName = false;  // a folder on the way has a name no path component may have
  // What each folder's chain up to the bounding folder gives, found once per
  // folder: a deep tree is then climbed once, not once per folder in it.
  struct ChainFact {
    int64_t names = -1;  // folders from this one up to the bounding folder; -1: the chain never meets it
    bool unsafeName = false;
  };
  std::unordered_map<uint32_t, ChainFact> chains;
  ParentLinks links;
};

// Folder times go to the outcome record, which sets them when the command
// ends (every file written into a folder changes its time).
struct NtfsRestoreRun {
  Messages& messages;
  restore::Outcomes& outcomes;
  NtfsRestoreCache cache;
};

// Restores one deleted record of the walk if its parent chain reaches
// boundFolder: folders are created, files written, below destinationRoot.
void RestoreNtfsRecord(ScanState& state, uint32_t recordNumber, ByteView record, uint32_t boundFolder,
                       const std::string& destinationRoot, NtfsRestoreRun& run);

// Restores every deleted record below the deleted folder `boundFolder` into
// destinationRoot (which must exist), with the folder structure relative to
// it: the table walk in restore mode. Progress and Cancel go through
// state.progress when set. False when the volume gives no table to walk.
bool RestoreNtfsFolder(ScanState& state, uint32_t boundFolder, const std::string& destinationRoot,
                       Messages& messages, restore::Outcomes& outcomes);

// A Windows file time (100 ns units since 1601) as a POSIX time.
timespec FileTimeToTimespec(uint64_t fileTime);
// The time a restored file or folder is given: none for a time of 0, which
// records no time at all (the file keeps the time it was written).
std::optional<timespec> RestoredTime(uint64_t fileTime);

}  // namespace vellum::ntfs
