#include "cli/source_drive.h"

#include <cerrno>

#include "app/open_volume.h"
#include "volume/source.h"

namespace vellum::cli {

int32_t SourceDriveTable(const SourceArgs& args, volume::DriveTable& table, std::string& error) {
  volume::OpenedSource probe = volume::OpenSource(args.source, args.partition);
  if (!probe.device) {
    error = probe.error;
    if (probe.errorCode == EACCES || probe.errorCode == EPERM) error += app::kPermissionHint;
    return -1;
  }
  if (!volume::AppendImage(table, args.source, error)) return -1;
  for (size_t i = 0; i < table.entries.size(); ++i)
    if (table.entries[i].partitionNumber == args.partition) return static_cast<int32_t>(i);
  error = args.source + ": no such partition";
  return -1;
}

}  // namespace vellum::cli
