#include "fat/found_entry.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fat/exfat_walk.h"
#include "fat/fat_walk.h"
#include "fat/orphan_walk.h"
#include "platform/file_system.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

// Which of the listed entries a walk meets: same folder, name, first
// cluster, size and kind. Only the listed entries are indexed, whatever the
// walk finds: on a hostile volume it may meet hundreds of thousands of
// entries, each with a folder text kilobytes long. By slot, the cluster an
// entry was read from stands for its folder: a scan's placement of it
// depends on what else the scan read.
// The entries themselves are made again from the list only for an entry
// met whose hash agrees: a list of millions of rows is never held as
// entries all at once, only as a hash and a number each.
class ListedEntries {
 public:
  ListedEntries(const ListedEntryAt& entryAt, const std::vector<uint32_t>& numbers, bool bySlot = false)
      : entryAt_(entryAt), numbers_(numbers), met_(numbers.size(), false), bySlot_(bySlot) {
    byHash_.reserve(numbers.size());
    for (size_t i = 0; i < numbers.size(); ++i) byHash_.push_back({HashOf(entryAt(numbers[i])), static_cast<uint32_t>(i)});
    std::sort(byHash_.begin(), byHash_.end());
  }
  // Marks every listed entry equal to `e` as met.
  void Meet(const FoundEntry& e) {
    const uint64_t hash = HashOf(e);
    auto it = std::lower_bound(byHash_.begin(), byHash_.end(), Hashed{hash, 0});
    for (; it != byHash_.end() && it->hash == hash; ++it)
      if (!met_[it->at] && Same(entryAt_(numbers_[it->at]), e)) met_[it->at] = true;
  }
  const std::vector<bool>& Met() const { return met_; }
  bool AllMet() const { return std::all_of(met_.begin(), met_.end(), [](bool m) { return m; }); }

 private:
  // Hashed by the short fields alone: the folder text, which a deep tree
  // makes kilobytes long for each of its entries, is compared only for an
  // entry that agrees on the rest.
  uint64_t HashOf(const FoundEntry& e) const {
    uint64_t h = std::hash<std::string>{}(e.name);
    for (const size_t part : {std::hash<uint64_t>{}(e.firstCluster), std::hash<uint64_t>{}(e.size),
                              size_t{e.isFolder}, bySlot_ ? std::hash<uint64_t>{}(e.slotCluster) : size_t{0}})
      h = h * 1099511628211u ^ part;
    return h;
  }
  bool Same(const FoundEntry& listed, const FoundEntry& e) const {
    if (listed.name != e.name || listed.firstCluster != e.firstCluster || listed.size != e.size ||
        listed.isFolder != e.isFolder)
      return false;
    return bySlot_ ? listed.slotCluster == e.slotCluster : SameFolder(listed.folder, e.folder);
  }
  // A row's folder loses any separator at its end; so does the walk's here.
  // On Windows a folder may come with either separator (a list saved by
  // another build, a path typed by hand): one matches the other.
  static bool SameFolder(std::string_view a, std::string_view b) {
    const auto trimmed = [](std::string_view f) {
      while (!f.empty() && platform::IsPathSeparator(f.back())) f.remove_suffix(1);
      return f;
    };
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      const bool separatorA = platform::IsPathSeparator(a[i]);
      if (separatorA != platform::IsPathSeparator(b[i]) || (!separatorA && a[i] != b[i])) return false;
    }
    return true;
  }

  struct Hashed {
    uint64_t hash;
    uint32_t at;  // in numbers_
    bool operator<(const Hashed& other) const { return hash < other.hash || (hash == other.hash && at < other.at); }
  };
  const ListedEntryAt& entryAt_;
  const std::vector<uint32_t>& numbers_;
  std::vector<Hashed> byHash_;
  std::vector<bool> met_;
  bool bySlot_;
};

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
        tooDeep_(s.foldersTooDeep),
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
    s_.foldersTooDeep = tooDeep_;
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
  uint64_t truncated_, tooDeep_;
  std::vector<uint8_t> fatWork_;
};

// Every deleted entry a search walk finds, met against the listed ones.
void CollectWalkedEntries(ScanState& state, bool thorough, ListedEntries& listed) {
  QuietSearch quiet(state, thorough);
  const FoundEntryObserver take = [&listed](const FoundEntry& e) { listed.Meet(e); };
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
// with or without the thorough search, met against the listed ones.
// The thorough search names some entries by long names the plain one does
// not take, and the folders it places orphaned clusters below by them too:
// the clusters are read in the one way or the other, each with its own
// placement.
void CollectScannedEntries(ScanState& state, bool allClusters, bool thorough, ListedEntries& listed) {
  QuietSearch quiet(state, thorough);
  state.clusterScan = 1;
  state.allClusters = allClusters ? 1 : 0;
  const FoundEntryObserver take = [&listed](const FoundEntry& e) { listed.Meet(e); };
  const bool exfat = state.fsKind == volume::kExfat;
  OrphanPlacement placement(state.rootPath + std::string(kOrphanFolder), state.clusterBytes, state.lastCluster);
  FatWalk fatWalk(state);
  ExfatWalk exfatWalk(state);
  fatWalk.SetFoundObserver(&take);
  exfatWalk.SetFoundObserver(&take);
  fatWalk.SetPlacement(&placement);
  exfatWalk.SetPlacement(&placement);
  volume::ReadAheadScope readAhead(state);
  std::vector<uint8_t> buffer(state.clusterBytes);
  for (uint64_t j = 2; j <= state.lastCluster && j >= 2; ++j) {
    const bool free = exfat ? !volume::IsExfatClusterUsed(state, j) : volume::ReadFatEntry(state, state.fat, j) == 0;
    if (!allClusters && !free) continue;
    const ByteView cluster = volume::ViewCluster(state, j, buffer, volume::kScanView);
    const std::string folder = placement.FolderOf(j, cluster, !exfat);
    if (exfat) {
      exfatWalk.TakeScannedCluster(cluster, folder);
      continue;
    }
    fatWalk.ProcessScannedCluster(cluster, folder);
    if (j == UINT64_MAX) break;
  }
}

// The entries a cluster scan listed, each looked for in the one cluster its
// slot was read from, read in the plain and the thorough way.
std::vector<bool> CollectEntriesBySlot(ScanState& state, const ListedEntryAt& entryAt,
                                       const std::vector<uint32_t>& numbers, std::vector<uint64_t> clusters) {
  ListedEntries listed(entryAt, numbers, true);
  std::sort(clusters.begin(), clusters.end());
  clusters.erase(std::unique(clusters.begin(), clusters.end()), clusters.end());
  const std::string folder = state.rootPath + std::string(kOrphanFolder);
  const FoundEntryObserver take = [&listed](const FoundEntry& e) { listed.Meet(e); };
  std::vector<uint8_t> buffer(state.clusterBytes);
  for (bool thorough : {false, true}) {
    if (listed.AllMet()) break;
    QuietSearch quiet(state, thorough);
    state.clusterScan = 1;
    state.allClusters = 1;
    FatWalk fatWalk(state);
    ExfatWalk exfatWalk(state);
    fatWalk.SetFoundObserver(&take);
    exfatWalk.SetFoundObserver(&take);
    for (const uint64_t j : clusters) {
      if (j < 2 || j > state.lastCluster) continue;
      const ByteView cluster = volume::ViewCluster(state, j, buffer, volume::kScanView);
      if (state.fsKind == volume::kExfat) exfatWalk.TakeScannedCluster(cluster, folder, j);
      else fatWalk.ProcessScannedCluster(cluster, folder, j);
    }
  }
  return listed.Met();
}

// The entries a walk or an unnamed scan listed: looked for where a search
// would find them.
// `orphans` marks the entries listed in kOrphanFolder (or below it).
std::vector<bool> CollectEntriesBySearch(ScanState& state, const ListedEntryAt& entryAt,
                                         const std::vector<uint32_t>& numbers, const std::vector<bool>& orphans) {
  ListedEntries listed(entryAt, numbers);
  for (bool thorough : {false, true}) {
    if (listed.AllMet()) break;
    CollectWalkedEntries(state, thorough, listed);
  }
  const auto orphanMissing = [&] {
    for (size_t i = 0; i < numbers.size(); ++i)
      if (!listed.Met()[i] && orphans[i]) return true;
    return false;
  };
  for (bool allClusters : {false, true})
    for (bool thorough : {false, true}) {
      if (!orphanMissing()) return listed.Met();
      CollectScannedEntries(state, allClusters, thorough, listed);
    }
  return listed.Met();
}

}  // namespace

std::string FolderBelow(std::string_view root, std::string_view path) {
  if (path.starts_with(root)) path.remove_prefix(root.size());
  return std::string(path);
}

std::vector<bool> EntriesOnVolume(ScanState& state, const std::vector<FoundEntry>& entries) {
  return EntriesOnVolume(state, entries.size(), [&](size_t i) { return entries[i]; });
}

std::vector<bool> EntriesOnVolume(ScanState& state, size_t count, const ListedEntryAt& entryAt) {
  std::vector<uint32_t> slotAt, searchAt;
  std::vector<uint64_t> slotClusters;
  std::vector<bool> orphans;
  for (size_t i = 0; i < count; ++i) {
    const FoundEntry e = entryAt(i);
    if (e.slotCluster != 0) {
      slotAt.push_back(static_cast<uint32_t>(i));
      slotClusters.push_back(e.slotCluster);
    } else {
      searchAt.push_back(static_cast<uint32_t>(i));
      orphans.push_back(e.folder.starts_with(kOrphanFolder));
    }
  }
  std::vector<bool> met(count, false);
  if (!slotAt.empty()) {
    const std::vector<bool> found = CollectEntriesBySlot(state, entryAt, slotAt, std::move(slotClusters));
    for (size_t k = 0; k < slotAt.size(); ++k) met[slotAt[k]] = found[k];
  }
  if (!searchAt.empty()) {
    const std::vector<bool> found = CollectEntriesBySearch(state, entryAt, searchAt, orphans);
    for (size_t k = 0; k < searchAt.size(); ++k) met[searchAt[k]] = found[k];
  }
  return met;
}

}  // namespace vellum::fat
