// Restoring deleted NTFS files and folders into a destination folder: a
// deleted folder with everything below it (the table walk in restore mode),
// or one file record at a time (a result row). The volume is only read; the
// names come from a damaged disk and never lead outside the destination.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "volume/le.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::ntfs {

using volume::ScanState;

inline constexpr std::string_view kWriteFailedMessage = "ファイルの書き込みに失敗しました。";

// What one restore did, for the command's summary. Every item the walk finds
// below the bounding folder lands in exactly one of these counts, unless a
// Cancel cut it short.
struct RestoreTally {
  uint32_t filesRestored = 0;
  uint32_t foldersRestored = 0;
  // Restored, but some clusters could not be read (a run beyond the volume, a
  // part of the data no run maps): those bytes are zeros. Also in filesRestored.
  uint32_t filesIncomplete = 0;
  uint32_t skippedUnsafeName = 0;   // the name, or a folder's on the way, is no usable path component
  uint32_t skippedPathTooLong = 0;  // the destination path passes the system's limits
  uint32_t skippedUnreadable = 0;   // no file record where the row says
  uint32_t skippedWriteFailed = 0;  // a file or folder could not be created or written
};

// Where a record is: by number, or (number 0) at the cluster and slot where
// the free-cluster scan found it.
struct NtfsRecordSource {
  uint32_t recordNumber = 0;
  uint64_t cluster = 0;
  uint32_t slot = 0;
};

enum class WriteOutcome {
  kWritten,
  kIncomplete,    // written whole, with zeros where clusters could not be read
  kUnreadable,    // no file record at the source; nothing created
  kCreateFailed,  // the file could not be created
  kWriteFailed,   // a write failed (reported); the file holds what was written
  kCancelled,     // Cancel: the file holds the steps completed
};

// Creates (or replaces) the file at `path` and writes the record's unnamed
// $DATA into it: 16 clusters per step, or one compression unit decompressed.
// Cancel is polled before every step (state.cancelled is then set). A record
// without $DATA gives an empty file.
WriteOutcome WriteNtfsFileData(ScanState& state, const NtfsRecordSource& source, const std::string& path,
                               Messages& messages);

// Restores one file row into destinationFolder (which must exist) under the
// record's own name made unique, with its modification time. False when it
// was skipped (the reason is counted in tally) or cut short by Cancel.
bool RestoreNtfsFile(ScanState& state, const NtfsRecordSource& source, const std::string& destinationFolder,
                     Messages& messages, RestoreTally& tally);

// What a restore walk keeps from record to record: the records of one folder
// mostly follow each other, so the last parent's path relative to the
// bounding folder is rebuilt once for them all. Folder times are set when the
// walk ends, since every file written into a folder changes its time.
struct NtfsRestoreCache {
  uint64_t lastParent = 0;
  std::string path;         // relative to the bounding folder; empty: the folder itself
  bool inside = false;      // the parent lies below the bounding folder
  bool unsafeName = false;  // a folder on the way has a name no path component may have
  struct FolderTime {
    std::string path;
    timespec written;
  };
  std::vector<FolderTime> folderTimes;
};

struct NtfsRestoreRun {
  Messages& messages;
  RestoreTally& tally;
  NtfsRestoreCache cache;
};

// Restores one deleted record of the walk if its parent chain reaches
// boundFolder: folders are created, files written, below destinationRoot.
void RestoreNtfsRecord(ScanState& state, uint32_t recordNumber, ByteView record, uint32_t boundFolder,
                       const std::string& destinationRoot, NtfsRestoreRun& run);

// Gives the folders created by the walk their modification times.
void FinishNtfsRestore(NtfsRestoreRun& run);

// Restores every deleted record below the deleted folder `boundFolder` into
// destinationRoot (which must exist), with the folder structure relative to
// it: the table walk in restore mode. Progress and Cancel go through
// state.progress when set. False when the volume gives no table to walk.
bool RestoreNtfsFolder(ScanState& state, uint32_t boundFolder, const std::string& destinationRoot,
                       Messages& messages, RestoreTally& tally);

// A Windows file time (100 ns units since 1601) as a POSIX time.
timespec FileTimeToTimespec(uint64_t fileTime);

}  // namespace vellum::ntfs
