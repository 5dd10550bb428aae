#include "cli/source_drive.h"

#include <cerrno>

#include "app/open_volume.h"
#include "platform/images/open_image.h"
#include "volume/source.h"

namespace vellum::cli {

int32_t SourceDriveTable(const SourceArgs& args, volume::DriveTable& table, std::string& error) {
  // Opened once here for the table; the command opens it again for itself.
  // A container's opening reads its whole index, so not a third time.
  platform::SourceFile file = platform::OpenSourceFile(args.source);
  if (!file.device) {
    error = file.error;
    if (file.errorCode == EACCES || file.errorCode == EPERM) error += app::kPermissionHint;
    return -1;
  }
  const volume::PartitionTable partitions = volume::ReadPartitionTable(*file.device);
  error = volume::PartitionChoiceError(args.source, partitions, args.partition);
  if (!error.empty()) return -1;
  if (!volume::AppendImage(table, args.source, *file.device, file.kind, partitions, error)) return -1;
  for (size_t i = 0; i < table.entries.size(); ++i)
    if (table.entries[i].partitionNumber == args.partition) return static_cast<int32_t>(i);
  error = args.source + ": no such partition";
  return -1;
}

}  // namespace vellum::cli
