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
  // A table without records simply yields nothing: it is still an NTFS walk.
  const bool walked = s.fsKind == volume::kNtfs ? (ntfs::SearchNtfs(s, 0, std::string()), true) : fat::WalkFatExfat(s);
  s.progress = nullptr;
  return walked;
}

// A cluster scan of the opened volume: free clusters (all 0) or every
// cluster of the range. 1 when it ran, 0 when the range was cancelled.
int RunClusterScan(CommandContext& c, int all) {
  ScanState& s = c.state;
  if (!c.rangeAsker) return 0;
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.clusterScan = 1;
  s.allClusters = all;
  int ran = 0;
  if (s.fsKind == volume::kNtfs)
    ran = ntfs::ScanNtfsFreeClusters(s, all, *c.rangeAsker, c.analyse);
  else if (s.fsKind == volume::kExfat)
    ran = fat::ScanExfatClusters(s, all, *c.rangeAsker, c.analyse);
  else
    ran = fat::ScanFatClusters(s, *c.rangeAsker, c.analyse);
  s.progress = nullptr;
  s.clusterScan = 0;
  return ran;
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
      if (s.cancelled == 0 && Ask(c.messages, kFreeScanQuestion)) RunClusterScan(c, 0);
      if (s.foundCount == 0)
        c.messages.Show(kNothingFoundMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    }
  }
  s.fatWork.clear();
  s.fatWork.shrink_to_fit();
  return result;
}

}  // namespace vellum::app

namespace vellum::app {

int OnFullClusterScan(CommandContext& c) {
  ScanState& s = c.state;
  s.options = c.options;
  s.rows = &c.list;
  s.operationMode = volume::kModeSearch;
  if (OpenVolume(s, c.volume, c.list, c.messages) != 1) return 0;
  if (!Ask(c.messages, kFullScanQuestion)) return 0;
  s.options = c.options;
  const int ran = RunClusterScan(c, 1);
  s.fatWork.clear();
  s.fatWork.shrink_to_fit();
  if (ran != 1) return 0;
  if (s.foundCount == 0)
    c.messages.Show(kNothingFoundMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  return 1;
}

}  // namespace vellum::app
