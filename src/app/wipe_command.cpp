#include "app/wipe_command.h"

#include <memory>
#include <vector>

#include "app/command_volume.h"
#include "app/results_file.h"
#include "app/row_item.h"
#include "app/same_content.h"
#include "app/write_guard.h"
#include "fat/fat_walk.h"
#include "fat/wipe.h"
#include "platform/images/open_image.h"
#include "platform/source_set.h"

namespace vellum::app {

namespace {

using volume::ScanState;

// Why the volume must not be written, said through messages; empty when it may.
bool RefuseToWrite(CommandContext& c, const volume::DriveEntry* drive) {
  ScanState& s = c.state;
  if (s.fsKind == volume::kNtfs) {
    Tell(c.messages, kWipeNtfsMessage);
    return true;
  }
  if (!drive) return false;
  if (!drive->containerKind.empty()) {
    Tell(c.messages, platform::ContainerWriteRefusal(drive->sourcePath, drive->containerKind));
    return true;
  }
  const std::vector<platform::SourceMount> mounts = platform::SourceSet(SourcePartsOf(*drive, &s)).Mounts();
  if (mounts.empty()) return false;
  Tell(c.messages, MountedSourceMessage(mounts));
  return true;
}

// The entries first, while the walk can still read every directory; then
// the data they pointed at; then, when asked, the rest of the free space.
void Overwrite(ScanState& s, bool freeSpace) {
  if (fat::WalkFatExfat(s) && s.cancelled == 0) {
    if (s.fsKind == volume::kExfat) fat::WipeOrphanedExfatDirectories(s);
    else fat::WipeOrphanedFatDirectories(s);
  }
  fat::WipeDeletedFileData(s);
  if (freeSpace) fat::WipeFreeClusters(s);
}

WipeSummary SummaryOf(const ScanState::WipeRecord& w, bool cancelled) {
  return {w.entries, w.failedWrites, w.dataClusters, w.freeClusters, cancelled, w.stoppedAtCluster};
}

// The closing message: done, cancelled and where, or the first failed write.
std::string ClosingText(const WipeSummary& done, const ScanState::WipeRecord& w) {
  if (done.failedWrites > 0)
    return std::string(kWipeWriteFailedMessage) + "\n\n書き込めなかった回数: " + std::to_string(done.failedWrites) +
           " (最初はセクタ " + std::to_string(w.firstFailedSector) + (w.error.empty() ? std::string() : ": " + w.error) +
           ")\n" + WipeCountsText(done);
  if (done.cancelled)
    return std::string(kWipeCancelledMessage) + "\n\n" + WipeCountsText(done) +
           (done.stoppedAtCluster ? "\n中止した位置: クラスタ " + std::to_string(done.stoppedAtCluster)
                                  : std::string("\n中止した位置: ディレクトリエントリの上書き中"));
  return std::string(kWipeDoneMessage) + "\n\n" + WipeCountsText(done);
}

}  // namespace

std::string WipeCountsText(const WipeSummary& w) {
  std::string text = "上書きしたエントリ: " + std::to_string(w.entriesOverwritten) + " 件\n上書きしたクラスタ: " +
                     std::to_string(w.dataClusters) + " 個";
  if (w.freeClusters) text += "\n上書きしたほかの空きクラスタ: " + std::to_string(w.freeClusters) + " 個";
  return text;
}

ListedForWipe ListedRowsOf(ScanState& state, const ResultList& list, const volume::DriveEntry* drive) {
  ListedForWipe listed;
  if (!drive || list.RowCount() == 0 || RootTextOfFolder(list.Cell(0, 1)) != drive->rootText) return listed;
  listed.listOfVolume = true;
  const std::vector<std::optional<size_t>> same = SameContentRows(state, list);
  for (size_t row = 0; row < list.RowCount(); ++row) {
    if (!IsContentRow(list, row)) ++listed.entryRows;
    else if (row < same.size() && same[row]) ++listed.repeatedContentRows;
    else ++listed.keptContentRows;
  }
  return listed;
}

std::string WipeQuestion(const volume::DriveEntry* drive, const ListedForWipe& listed) {
  std::string question(kWipeQuestion);
  if (drive) question += "\n\n" + drive->rootText + "  " + drive->sourcePath;
  if (!listed.listOfVolume) return question;
  question += "\n\n一覧の " + std::to_string(listed.entryRows + listed.repeatedContentRows) +
              " 行が復元できなくなります (削除されたファイルとフォルダ " + std::to_string(listed.entryRows) + " 行";
  if (listed.repeatedContentRows > 0)
    question += "と、その中身として見つかった " + std::to_string(listed.repeatedContentRows) + " 行";
  question += ")。";
  if (listed.keptContentRows > 0)
    question += "\nファイルの中身だけから見つけた " + std::to_string(listed.keptContentRows) +
                " 行はエントリがないため、次の質問で空きクラスタの上書きを選ばない限り残ります。";
  return question;
}

int OnCompleteDeletion(CommandContext& c, WipeSummary* summary) {
  const volume::DriveEntry* drive = SelectedDrive(c);
  if (!Reopen(c, platform::OpenAccess::ReadOnly)) return 0;
  if (RefuseToWrite(c, drive)) return 0;
  const ListedForWipe listed = ListedRowsOf(c.state, c.list, drive);
  if (c.messages.Show(WipeQuestion(drive, listed), MessageButtons::YesNo, MessageIcon::Warning, MessageAnswer::No) !=
      MessageAnswer::Yes)
    return 0;
  const bool freeSpace = c.messages.Show(kWipeFreeSpaceQuestion, MessageButtons::YesNo, MessageIcon::Question,
                                         MessageAnswer::No) == MessageAnswer::Yes;
  // Only now, and only for this command, is the volume opened for writing.
  ScanState& s = c.state;
  if (!Reopen(c, platform::OpenAccess::ReadWrite)) return 0;
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.operationMode = volume::kModeCompleteDeletion;
  s.wipe = {};
  s.cancelled = 0;
  Overwrite(s, freeSpace);
  s.operationMode = volume::kModeSearch;
  s.progress = nullptr;
  s.fatWork.clear();
  s.volumeHandle.reset();  // no write access outlives the command
  const WipeSummary done = SummaryOf(s.wipe, s.cancelled != 0);
  s.wipe.zeroed = {};
  if (summary) *summary = done;
  Tell(c.messages, ClosingText(done, s.wipe));
  // Rows of entries that are gone would only mislead a restore: the list
  // shows what a search finds now.
  if (listed.listOfVolume) SearchAgain(c, listed.repeatedContentRows + listed.keptContentRows > 0);
  return done.failedWrites == 0 && !done.cancelled ? 1 : 0;
}

}  // namespace vellum::app
