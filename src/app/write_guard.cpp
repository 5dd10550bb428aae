#include "app/write_guard.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "app/restore_command.h"
#include "app/results_file.h"
#include "app/wipe_command.h"
#include "platform/file_system.h"
#include "platform/images/open_image.h"
#include "platform/system_error_text.h"

namespace vellum::app {

namespace {

void Warn(Messages& messages, const std::string& text) {
  messages.Show(text, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
}

std::string NamedPaths(std::string_view text, const std::string& path, std::string_view pathLabel,
                       const std::string& source) {
  return std::string(text) + "\n\n" + std::string(pathLabel) + ": " + path + "\n復元元: " + source;
}

}  // namespace

WriteGuard::WriteGuard(platform::SourceSet source, std::string sourceName)
    : relation_([set = std::move(source)](const std::string& path) { return set.Relation(path); }),
      sourceName_(std::move(sourceName)) {}

WriteGuard::WriteGuard(RelationOf relation, std::string sourceName)
    : relation_(std::move(relation)), sourceName_(std::move(sourceName)) {}

bool WriteGuard::MayWrite(const std::string& path, WriteKind kind, Messages& messages) const {
  const platform::SourceRelation relation = relation_(path);
  if (relation == platform::SourceRelation::kUnrelated) return true;
  switch (kind) {
    case WriteKind::kResultsFile:
      if (relation == platform::SourceRelation::kIsSource) {
        Warn(messages, SaveOntoSourceMessage(path, sourceName_));
        return false;
      }
      return messages.Show(kSaveOnSourceQuestion, MessageButtons::YesNo, MessageIcon::None, MessageAnswer::No) ==
             MessageAnswer::Yes;
    case WriteKind::kRestoreDestination:
      Warn(messages, NamedPaths(kDestinationOnSourceMessage, path, "復元先", sourceName_));
      return false;
    case WriteKind::kRestoreReport:
      Warn(messages, relation == platform::SourceRelation::kIsSource
                         ? SaveOntoSourceMessage(path, sourceName_)
                         : NamedPaths(kReportOnSourceMessage, path, "保存先", sourceName_));
      return false;
  }
  return false;
}

bool WriteGuard::WriteWholeFile(const std::string& path, std::string_view bytes, std::string& error) const {
  return WriteFileInPieces(path, [bytes](const PieceWriter& write) { write(bytes); }, error);
}

bool WriteGuard::WriteFileInPieces(const std::string& path, const std::function<void(const PieceWriter&)>& produce,
                                   std::string& error) const {
  if (relation_(path) == platform::SourceRelation::kIsSource) {
    error = SaveOntoSourceMessage(path, sourceName_);
    return false;
  }
  std::FILE* file = platform::OpenStdioFile(path, "wb");
  if (file == nullptr) {
    error = platform::SystemErrorText(errno);
    return false;
  }
  bool wrote = true;
  int writeErrno = 0;
  produce([&](std::string_view piece) {
    if (!wrote) return;
    wrote = std::fwrite(piece.data(), 1, piece.size(), file) == piece.size();
    if (!wrote) writeErrno = errno;
  });
  const bool closed = std::fclose(file) == 0;
  if (!wrote || !closed) {
    error = platform::SystemErrorText(!wrote ? writeErrno : errno);
    return false;
  }
  return true;
}

platform::SourceParts SourcePartsOf(const volume::DriveEntry& drive, const volume::ScanState* opened) {
  platform::SourceParts parts;
  parts.paths.push_back(drive.sourcePath);
  // A container's segments, parents and pieces are the source as much as its first file.
  std::vector<std::string> files;
  if (opened && opened->volumeHandle) {
    files = opened->volumeHandle->BackingFiles();
  } else if (!drive.containerKind.empty() || !platform::IsDevicePath(drive.sourcePath)) {
    const platform::SourceFile source = platform::OpenSourceFile(drive.sourcePath);
    if (source.device) files = source.device->BackingFiles();
  }
  for (std::string& f : files)
    if (f != drive.sourcePath) parts.paths.push_back(std::move(f));
  // A partition's place is known in the bytes of a plain image or device only.
  if (drive.containerKind.empty()) {
    parts.offset = drive.offset;
    parts.length = drive.offset || drive.partitionNumber ? drive.length : 0;
  }
  return parts;
}

WriteGuard GuardFor(const volume::DriveEntry& drive, const volume::ScanState* opened) {
  return WriteGuard(platform::SourceSet(SourcePartsOf(drive, opened)), drive.sourcePath);
}

std::string MountedSourceMessage(const std::vector<platform::SourceMount>& mounts) {
  std::string text(kWipeMountedMessage);
  for (const platform::SourceMount& m : mounts) {
    if (m.mountPoint.empty()) {
      text += "\n\nFUSE のドライバがこのドライブを使用しています。ドライバを終了してください。";
      continue;
    }
    text += "\n\nマウント先: " + m.mountPoint;
    if (!m.unmountCommand.empty()) text += "\nアンマウントするには: " + m.unmountCommand;
  }
  return text;
}

}  // namespace vellum::app
