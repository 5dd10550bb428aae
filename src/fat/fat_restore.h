// Restoring deleted FAT and exFAT entries into a destination folder tree:
// folders are created, file data is copied cluster by cluster along the run
// the entry is predicted to have occupied, and each item gets the entry's
// modification time.
#pragma once

#include <cstdint>
#include <string>

#include "volume/le.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::fat {

using volume::ScanState;

inline constexpr std::string_view kWriteFailedMessage = "ファイルの書き込みに失敗しました。";

// What a restore did, for the summary at its end.
struct RestoreTally {
  uint32_t files = 0;
  uint32_t folders = 0;
  uint32_t skippedUnsafeName = 0;   // ".", "..", or a name holding '/' or NUL
  uint32_t skippedPathTooLong = 0;
  uint32_t skippedNoData = 0;       // a first cluster outside the volume
  uint32_t failed = 0;              // a folder or file that could not be written
};

// Where a restore writes and what it reports through.
struct RestoreTarget {
  std::string root;           // the destination folder; exists
  Messages* messages = nullptr;
  RestoreTally* tally = nullptr;
};

// A FAT date and time (local time, as FAT stores it) as a time stamp.
timespec FatTimeToTimespec(uint16_t date, uint16_t time);

// Restores one deleted FAT entry with display name `name` into folder
// `parent` (a destination folder, created when missing). Folders that exist
// already are left as they are. Returns false when the entry was skipped.
bool RestoreFatEntry(ScanState& state, const RestoreTarget& target, ByteView entry, const std::string& name,
                     const std::string& parent);

// Appends the data of a deleted FAT file to `path`.
void CopyFatFileData(ScanState& state, const RestoreTarget& target, const std::string& path, uint64_t firstCluster,
                     uint64_t size);

// Restores one deleted exFAT entry set; false when it was skipped (a folder
// that was not created is then not entered either).
bool RestoreExfatEntrySet(ScanState& state, const RestoreTarget& target, const std::string& name,
                          const std::string& parent, bool folder, uint32_t firstCluster, uint64_t size,
                          bool fatChain, uint16_t date, uint16_t time);

// Writes the data of a deleted exFAT file to a new file `path`.
void CopyExfatFileData(ScanState& state, const RestoreTarget& target, const std::string& path,
                       uint32_t firstCluster, uint64_t size, bool fatChain);

}  // namespace vellum::fat
