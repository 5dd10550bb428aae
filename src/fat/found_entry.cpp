#include "fat/found_entry.h"

#include <algorithm>
#include <vector>

#include "fat/exfat_walk.h"
#include "fat/fat_walk.h"
#include "fat/orphan_walk.h"
#include "platform/file_system.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

// A search run for its entries alone: every listing option on, nothing
// listed, no progress; what the search changes in the state is put back.
class QuietSearch {
 public:
  QuietSearch(ScanState& s, bool thorough)
      : s_(s),
        options_(s.options),
        mode_(s.operationMode),
        rows_(s.rows),
        progress_(s.progress),
        foundCount_(s.foundCount),
        rowCount_(s.rowCount),
        truncated_(s.truncatedStructures),
        fatWork_(s.fatWork) {
    s.options = {};
    s.options.inUse = true;
    s.options.zeroSize = true;
    s.options.analyse = false;
    s.options.thorough = thorough;
    s.operationMode = volume::kModeSearch;
    s.rows = nullptr;
    s.progress = nullptr;
    s.cancelled = 0;
  }
  ~QuietSearch() {
    s_.options = options_;
    s_.operationMode = mode_;
    s_.rows = rows_;
    s_.progress = progress_;
    s_.foundCount = foundCount_;
    s_.rowCount = rowCount_;
    s_.truncatedStructures = truncated_;
    s_.fatWork = std::move(fatWork_);
    s_.clusterScan = 0;
    s_.allClusters = 0;
    s_.cancelled = 0;
  }
  QuietSearch(const QuietSearch&) = delete;
  QuietSearch& operator=(const QuietSearch&) = delete;

 private:
  ScanState& s_;
  volume::SearchOptions options_;
  uint8_t mode_;
  RowSink* rows_;
  Progress* progress_;
  int32_t foundCount_, rowCount_;
  uint64_t truncated_;
  std::vector<uint8_t> fatWork_;
};

// Every deleted entry a search walk finds, into `set`.
void CollectWalkedEntries(ScanState& state, bool thorough, FoundEntrySet& set) {
  QuietSearch quiet(state, thorough);
  const FoundEntryObserver take = [&set](const FoundEntry& e) { set.Add(e); };
  if (state.fsKind == volume::kExfat) {
    ExfatWalk walk(state);
    walk.SetFoundObserver(&take);
    walk.WalkRoot();
    return;
  }
  FatWalk walk(state);
  walk.SetFoundObserver(&take);
  if (state.rootCluster == 0)
    walk.WalkFatRoot();
  else
    walk.WalkFatDirectory(state.rootCluster, nullptr, false);
  // The thorough walk puts orphaned later clusters of deleted folders back
  // below them: their entries are listed there, so they are looked for there.
  if (thorough) WalkOrphanedFatEntries(state, walk);
}

// Every entry a cluster scan reads from free clusters (or every cluster),
// with or without the thorough search, into `set`.
void CollectScannedEntries(ScanState& state, bool allClusters, FoundEntrySet& set) {
  QuietSearch quiet(state, false);
  state.clusterScan = 1;
  state.allClusters = allClusters ? 1 : 0;
  const FoundEntryObserver take = [&set](const FoundEntry& e) { set.Add(e); };
  const std::string folder = state.rootPath + std::string(kOrphanFolder);
  const bool exfat = state.fsKind == volume::kExfat;
  FatWalk fatWalk(state);
  ExfatWalk exfatWalk(state);
  fatWalk.SetFoundObserver(&take);
  exfatWalk.SetFoundObserver(&take);
  volume::ReadAheadScope readAhead(state);
  std::vector<uint8_t> buffer(state.clusterBytes);
  for (uint64_t j = 2; j <= state.lastCluster && j >= 2; ++j) {
    const bool free = exfat ? !volume::IsExfatClusterUsed(state, j) : volume::ReadFatEntry(state, state.fat, j) == 0;
    if (!allClusters && !free) continue;
    const ByteView cluster = volume::ViewCluster(state, j, buffer, volume::kScanView);
    if (exfat) {
      exfatWalk.TakeScannedCluster(cluster, folder);
      continue;
    }
    // The thorough search names some entries by long names the plain one
    // does not take: the cluster is read both ways.
    for (const bool thorough : {false, true}) {
      state.options.thorough = thorough;
      fatWalk.ProcessScannedCluster(cluster, folder);
    }
    if (j == UINT64_MAX) break;
  }
}

}  // namespace

std::string FolderBelow(std::string_view root, std::string_view path) {
  if (path.starts_with(root)) path.remove_prefix(root.size());
  return std::string(path);
}

// A row's folder loses any separator at its end; so does the walk's here.
// On Windows a folder may come with either separator (a list saved by
// another build, a path typed by hand): the key holds '/' alone.
FoundEntrySet::Key FoundEntrySet::KeyOf(const FoundEntry& e) {
  std::string folder = e.folder;
  std::replace_if(folder.begin(), folder.end(), platform::IsPathSeparator, '/');
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return {std::move(folder), e.name, e.firstCluster, e.size, e.isFolder};
}

std::vector<bool> EntriesOnVolume(ScanState& state, const std::vector<FoundEntry>& entries) {
  std::vector<size_t> missing(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) missing[i] = i;
  auto dropFound = [&](const FoundEntrySet& set) {
    std::erase_if(missing, [&](size_t i) { return set.Contains(entries[i]); });
  };
  for (bool thorough : {false, true}) {
    if (missing.empty()) break;
    FoundEntrySet set;
    CollectWalkedEntries(state, thorough, set);
    dropFound(set);
  }
  auto orphan = [&](size_t i) { return entries[i].folder == kOrphanFolder; };
  for (bool allClusters : {false, true}) {
    if (std::none_of(missing.begin(), missing.end(), orphan)) break;
    FoundEntrySet set;
    CollectScannedEntries(state, allClusters, set);
    dropFound(set);
  }
  std::vector<bool> on(entries.size(), true);
  for (size_t i : missing) on[i] = false;
  return on;
}

}  // namespace vellum::fat
