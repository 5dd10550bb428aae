// The one gate every writer passes before it creates or opens anything for
// writing: the results file (command line and window), the restore
// destination and the restore report. What is found on a volume must never
// be lost by writing onto that volume, so the path is first compared with
// the source set (platform/source_set.h) and the documented answers are
// given: onto the source itself, always refused with both paths named;
// elsewhere on the source's drive, the question of saving for a results
// file, a refusal for what a restore writes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/source_set.h"
#include "volume/drives.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::app {

enum class WriteKind {
  kResultsFile,
  kRestoreDestination,
  kRestoreReport,
};

inline constexpr std::string_view kReportOnSourceMessage =
    "報告ファイルの保存先が復元元のドライブにあります。\n\n"
    "復元するデータを壊すおそれがあるため、他のドライブに保存してください。";

class WriteGuard {
 public:
  using RelationOf = std::function<platform::SourceRelation(const std::string& path)>;

  WriteGuard(platform::SourceSet source, std::string sourceName);
  // For a host that answers the question itself.
  WriteGuard(RelationOf relation, std::string sourceName);

  // Whether `path` may be written. When not, the user has been told why
  // through `messages`, or has answered No to the question.
  bool MayWrite(const std::string& path, WriteKind kind, Messages& messages) const;

  // Creates or replaces the file `path` with `bytes`. Even a path that was
  // let through before is checked again, without questions: between the
  // two a file may have become a link to the source. False with the
  // system's text (or the refusal) in `error`.
  bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string& error) const;
  // The same, with the bytes handed over by `produce` a piece at a time to
  // the writer it is given. After a piece fails, the rest are not written.
  using PieceWriter = std::function<void(std::string_view)>;
  bool WriteFileInPieces(const std::string& path, const std::function<void(const PieceWriter&)>& produce,
                         std::string& error) const;

 private:
  RelationOf relation_;
  std::string sourceName_;
};

// The source set of a drive: its device or image file and, for a
// container, every file the container reads (from the opened volume when
// `opened` holds it, else the container is opened here to learn them).
platform::SourceParts SourcePartsOf(const volume::DriveEntry& drive, const volume::ScanState* opened = nullptr);
WriteGuard GuardFor(const volume::DriveEntry& drive, const volume::ScanState* opened = nullptr);

// Why complete deletion refuses a mounted source, naming each mount and how
// to unmount it.
std::string MountedSourceMessage(const std::vector<platform::SourceMount>& mounts);

}  // namespace vellum::app
