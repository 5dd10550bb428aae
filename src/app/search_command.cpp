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

// The range dialog of a scan whose list is still the one before it: OK
// empties the list for the scan's rows, Cancel leaves it as it was.
class ResettingRangeAsker : public ClusterRangeAsker {
 public:
  ResettingRangeAsker(ClusterRangeAsker& asker, ScanState& state, ResultList& list)
      : asker_(asker), state_(state), list_(list) {}
  bool RunClusterRangeDialog(uint64_t& start, uint64_t& end) override {
    if (!asker_.RunClusterRangeDialog(start, end)) return false;
    ResetListFor(state_, list_);
    return true;
  }

 private:
  ClusterRangeAsker& asker_;
  ScanState& state_;
  ResultList& list_;
};

// A cluster scan of the opened volume: free clusters (all 0) or every
// cluster of the range. 1 when it ran, 0 when the range was cancelled.
int RunClusterScan(CommandContext& c, int all, ClusterRangeAsker* asker) {
  ScanState& s = c.state;
  if (!asker) return 0;
  std::unique_ptr<Progress> progress = c.newProgress ? c.newProgress() : nullptr;
  s.progress = progress.get();
  s.clusterScan = 1;
  s.allClusters = all;
  int ran = 0;
  if (s.fsKind == volume::kNtfs)
    ran = ntfs::ScanNtfsFreeClusters(s, all, *asker, c.analyse);
  else if (s.fsKind == volume::kExfat)
    ran = fat::ScanExfatClusters(s, all, *asker, c.analyse);
  else
    ran = fat::ScanFatClusters(s, *asker, c.analyse);
  s.progress = nullptr;
  s.clusterScan = 0;
  return ran;
}

// The range dialog answered with the range it proposes.
class WholeRange : public ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

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
      if (s.cancelled == 0 && Ask(c.messages, kFreeScanQuestion)) RunClusterScan(c, 0, c.rangeAsker);
      if (s.foundCount == 0)
        c.messages.Show(kNothingFoundMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    }
  }
  s.fatWork.clear();
  s.fatWork.shrink_to_fit();
  return result;
}

int SearchAgain(CommandContext& c, bool withFreeScan) {
  ScanState& s = c.state;
  s.options = c.options;
  s.rows = &c.list;
  s.operationMode = volume::kModeSearch;
  s.cancelled = 0;
  if (OpenVolume(s, c.volume, c.list, c.messages) != 1) return 0;
  WholeRange whole;
  if (RunDeletedEntryWalk(c) && s.cancelled == 0 && withFreeScan) RunClusterScan(c, 0, &whole);
  s.fatWork.clear();
  s.fatWork.shrink_to_fit();
  return 1;
}

}  // namespace vellum::app

namespace vellum::app {

int OnFullClusterScan(CommandContext& c) {
  ScanState& s = c.state;
  s.options = c.options;
  s.rows = &c.list;
  s.operationMode = volume::kModeSearch;
  // The list stays as it was until the question and the range are answered:
  // No or Cancel loses nothing.
  VolumeRequest request = c.volume;
  request.keepList = true;
  if (OpenVolume(s, request, c.list, c.messages) != 1) return 0;
  if (!Ask(c.messages, kFullScanQuestion)) return 0;
  s.options = c.options;
  if (!c.rangeAsker) return 0;
  ResettingRangeAsker asker(*c.rangeAsker, s, c.list);
  const int ran = RunClusterScan(c, 1, &asker);
  s.fatWork.clear();
  s.fatWork.shrink_to_fit();
  if (ran != 1) return 0;
  if (s.foundCount == 0)
    c.messages.Show(kNothingFoundMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  return 1;
}

}  // namespace vellum::app
