#include "app/search_command.h"

#include "fat/fat_walk.h"
#include "ntfs/ntfs_cluster_scan.h"
#include "ntfs/ntfs_search.h"

namespace vellum::app {

using volume::ScanState;

namespace {

// Runs the deleted-entry walk of the opened volume with a progress window of
// its own. False when no walk exists for the file system.
bool RunDeletedEntryWalk(CommandContext& c) {
  ScanState& s = c.state;
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.clusterScan = 0;
  const bool walked = s.fsKind == volume::kNtfs ? ntfs::SearchNtfs(s, 0, std::string()) : fat::WalkFatExfat(s);
  s.progress = nullptr;
  return walked;
}

// The free-cluster scan after a walk; its result is not examined.
void RunFreeClusterScan(CommandContext& c) {
  ScanState& s = c.state;
  if (!c.rangeAsker) return;
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.clusterScan = 1;
  s.allClusters = 0;
  if (s.fsKind == volume::kNtfs)
    ntfs::ScanNtfsFreeClusters(s, 0, *c.rangeAsker, c.analyse);
  else if (s.fsKind == volume::kExfat)
    fat::ScanExfatClusters(s, 0, *c.rangeAsker, c.analyse);
  else
    fat::ScanFatClusters(s, *c.rangeAsker, c.analyse);
  s.progress = nullptr;
  s.clusterScan = 0;
}

bool Ask(Messages& messages, std::string_view question) {
  return messages.Show(question, MessageButtons::YesNo, MessageIcon::None, MessageAnswer::No) ==
         MessageAnswer::Yes;
}

}  // namespace

int OnSearch(CommandContext& c) {
  ScanState& s = c.state;
  s.options = c.options;
  s.rows = &c.list;
  s.operationMode = volume::kModeSearch;
  s.cancelled = 0;
  int result = 0;
  if (OpenVolume(s, c.volume, c.list, c.messages) == 1) {
    if (!RunDeletedEntryWalk(c)) {
      c.messages.Show(kWalkMissingMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    } else {
      result = 1;
      if (s.cancelled == 0 && Ask(c.messages, kFreeScanQuestion)) RunFreeClusterScan(c);
      if (s.foundCount == 0)
        c.messages.Show(kNothingFoundMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    }
  }
  s.fatWork.clear();
  s.fatWork.shrink_to_fit();
  return result;
}

}  // namespace vellum::app
