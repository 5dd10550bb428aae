#include "cli/source_drive.h"

#include <cerrno>

#include "app/open_volume.h"
#include "app/source_check.h"
#include "cli/cli_messages.h"
#include "platform/loadable_module.h"
#include "platform/file_system.h"
#include "platform/images/open_image.h"
#include "volume/source.h"

namespace vellum::cli {

std::string PermissionHintFor(const std::string& path) {
  if (platform::IsDevicePath(path)) return std::string(platform::PermissionHintForThisUser());
  return "\n\n" + path + " を読み取る権限がありません。ファイルの所有者と読み取り権限を確かめてください。";
}

int32_t SourceDriveTable(const SourceArgs& args, volume::DriveTable& table, std::string& error) {
  // Opened once here for the table; the command opens it again for itself.
  // A container's opening reads its whole index, so not a third time.
  error = app::SourceRefusal(args.source);
  if (!error.empty()) return kNoSuchSource;
  platform::SourceFile file = platform::OpenSourceFile(args.source);
  if (!file.device) {
    error = file.error;
    if (file.errorCode == EACCES || file.errorCode == EPERM) error += PermissionHintFor(args.source);
    return kNoSuchSource;
  }
  const volume::PartitionTable partitions = volume::ReadPartitionTable(*file.device);
  error = volume::PartitionChoiceError(args.source, partitions, args.partition);
  if (!error.empty()) return kNoSuchPartition;
  if (!volume::AppendImage(table, args.source, *file.device, file.kind, partitions, error)) return kNoSuchSource;
  for (size_t i = 0; i < table.entries.size(); ++i)
    if (table.entries[i].partitionNumber == args.partition) return static_cast<int32_t>(i);
  error = args.source + " にパーティション " + std::to_string(args.partition) + " はありません。";
  return kNoSuchPartition;
}

int TakeLegacyPath(const SourceArgs& args, volume::DriveTable& table, volume::ScanState& state,
                   app::LegacyPath& legacy, bool writable, std::ostream& err) {
  if (args.biosDisks.empty()) return 0;
  CliMessages messages(err);
  if (!app::BindLegacyPath(legacy, platform::ProgramFolder(), messages)) return 1;
  std::string error;
  if (!app::AddBiosDisks(legacy, args.biosDisks, writable, error)) {
    err << "vellum-cli: " << error << '\n';
    return 1;
  }
  app::UseLegacyPath(legacy, table, state);
  return 0;
}

int SourceFailureStatus(int32_t index) { return index == kNoSuchPartition ? 2 : 1; }

}  // namespace vellum::cli
