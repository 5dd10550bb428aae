// The drive table a command-line command works with: the source alone.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "app/legacy_path.h"
#include "cli/source_args.h"
#include "volume/drives.h"

namespace vellum::cli {

inline constexpr int32_t kNoSuchSource = -1;
inline constexpr int32_t kNoSuchPartition = -2;  // bad usage: the message lists the partitions

// Fills `table` with the source's entries (one per partition of a whole
// disk) and returns the index of the chosen one, or kNoSuchSource or
// kNoSuchPartition with an error that names the source and the reason.
int32_t SourceDriveTable(const SourceArgs& args, volume::DriveTable& table, std::string& error);

// The advice that fits a refusal for lack of rights: for a device how to get
// the rights to disks, for an image file its own permissions.
std::string PermissionHintFor(const std::string& path);

// With --bios-disk, the legacy path: the disk BIOS layer bound from the
// program's folder, the named disks as its units (opened for writing when
// the command writes), and the table's drives paired with their partitions.
// 0, or the exit status after the reason went to `err`.
int TakeLegacyPath(const SourceArgs& args, volume::DriveTable& table, volume::ScanState& state,
                   app::LegacyPath& legacy, bool writable, std::ostream& err);

// The exit status of a failed SourceDriveTable: 2 for a partition choice, else 1.
int SourceFailureStatus(int32_t index);

}  // namespace vellum::cli
