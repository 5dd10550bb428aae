// Restoring deleted FAT and exFAT entries into a destination folder tree:
// folders are created, file data is copied cluster by cluster along the run
// the entry is predicted to have occupied, and each item gets the entry's
// modification time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "restore/outcome.h"
#include "restore/restored_file.h"
#include "volume/le.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::fat {

using volume::ScanState;

inline constexpr std::string_view kWriteFailedMessage = "ファイルの書き込みに失敗しました。";

// Where a restore writes and what it reports through.
struct RestoreTarget {
  std::string root;           // the destination folder; exists
  Messages* messages = nullptr;
  restore::Outcomes* outcomes = nullptr;
};

// An entry whose destination path passes the system's limits: reported and
// counted as skipped.
void SkipPathTooLong(const RestoreTarget& target, const std::string& path);

// A FAT date and time (local time, as FAT stores it) as a time stamp.
timespec FatTimeToTimespec(uint16_t date, uint16_t time);

// Restores one deleted FAT entry with display name `name` into folder
// `parent` (a destination folder, created when missing). Folders that exist
// already are left as they are. Returns false when the entry was skipped.
bool RestoreFatEntry(ScanState& state, const RestoreTarget& target, ByteView entry, const std::string& name,
                     const std::string& parent);

// Writes the data of a deleted FAT file into `file`. False when a write
// failed or Cancel stopped it; parts the volume could not give are zeros,
// noted in the file.
bool CopyFatFileData(ScanState& state, restore::RestoredFile& file, uint64_t firstCluster, uint64_t size);

// Restores one deleted exFAT entry set; false when it was skipped (a folder
// that was not created is then not entered either).
bool RestoreExfatEntrySet(ScanState& state, const RestoreTarget& target, const std::string& name,
                          const std::string& parent, bool folder, uint32_t firstCluster, uint64_t size,
                          bool fatChain, uint16_t date, uint16_t time);

// Writes the data of a deleted exFAT file into `file`; false as above.
bool CopyExfatFileData(ScanState& state, restore::RestoredFile& file, uint32_t firstCluster, uint64_t size,
                       bool fatChain);

// Writes a file made from `copy` into `folder`, then finishes it: restored,
// failed (removed) or cancelled (removed). The outcome goes to the target.
// Also used for rows of recognised contents.
bool WriteRestoredFile(ScanState& state, const RestoreTarget& target, const std::string& folder,
                       const std::string& name, timespec written,
                       const std::function<bool(restore::RestoredFile&)>& copy);

// The destination folder for `parent` (root + "/" + a path below it, as the
// walks build them), made with every folder on the way; names the
// destination refuses are made in their full-width forms. Empty on failure
// (recorded for `item`).
std::string ResolveFolder(const RestoreTarget& target, const std::string& parent, const std::string& item);

}  // namespace vellum::fat
