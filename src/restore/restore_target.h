// Where a restore writes and what it reports through, and the one writer
// every kind of item goes through: FAT and exFAT entries, NTFS records and
// recognised contents alike.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "restore/outcome.h"
#include "restore/restored_file.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::restore {

struct RestoreTarget {
  std::string root;  // the destination folder; exists
  Messages* messages = nullptr;
  Outcomes* outcomes = nullptr;
};

// The target's message sink, or one that stays quiet.
Messages& MessagesOf(const RestoreTarget& target);
// The target's outcome record; a restore without one (a test calling one
// step) still needs somewhere to put what happened.
Outcomes& OutcomesOf(const RestoreTarget& target);

// The destination folder of an item found in `folder` below the volume
// root: root + "/" + folder, as the walks name destination folders.
std::string ParentOf(const RestoreTarget& target, const std::string& folder);

// An item whose destination path passes the system's limits: reported and
// counted as skipped.
void SkipPathTooLong(const RestoreTarget& target, const std::string& path);

// The destination folder for `parent` (root + "/" + a path below it, as the
// walks build them), made with every folder on the way; names the
// destination refuses are made in their full-width forms. Empty on failure
// (recorded for `item`).
std::string ResolveFolder(const RestoreTarget& target, const std::string& parent, const std::string& item);

// Writes a file made from `copy` into `folder`, then finishes it: restored,
// failed (removed) or cancelled (removed). The outcome goes to the target;
// the bytes written count towards the restore's progress.
bool WriteRestoredFile(volume::ScanState& state, const RestoreTarget& target, const std::string& folder,
                       const std::string& name, timespec written, const std::function<bool(RestoredFile&)>& copy);

}  // namespace vellum::restore
