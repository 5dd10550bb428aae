// The data side of complete deletion. Overwriting the entries alone leaves
// every deleted file's bytes where they were, and a content scan of the free
// clusters finds them again by their signatures. So the clusters each wiped
// entry pointed at are overwritten with zeros too, by the very rule a
// restore of that entry follows, and on request every free cluster besides.
// Only clusters free in the volume's own FAT or allocation bitmap are ever
// written: a deleted file's run may cross live data, which stays as it is.
#include <algorithm>
#include <tuple>
#include <vector>

#include "fat/cluster_runs.h"
#include "fat/cluster_scan.h"
#include "fat/wipe.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"

namespace vellum::fat {

namespace {

// Consecutive free clusters are written together, up to this many bytes.
constexpr uint64_t kBatchBytes = 1 << 20;

class ZeroWriter {
 public:
  explicit ZeroWriter(ScanState& state)
      : state_(state),
        batchClusters_(std::max<uint64_t>(1, kBatchBytes / std::max<uint32_t>(state.clusterBytes, 1))) {
    if (state.wipe.zeroed.size() != state.lastCluster + 1) state.wipe.zeroed.assign(state.lastCluster + 1, false);
  }
  ~ZeroWriter() { Flush(); }

  // Queues `cluster` when it is free and not yet overwritten; true when it was.
  bool Add(uint64_t cluster) {
    if (cluster < 2 || cluster > state_.lastCluster || state_.wipe.zeroed[cluster] || !IsFreeOnDisk(state_, cluster))
      return false;
    state_.wipe.zeroed[cluster] = true;
    if (count_ > 0 && (cluster != first_ + count_ || count_ == batchClusters_)) Flush();
    if (count_ == 0) first_ = cluster;
    ++count_;
    return true;
  }

  void Flush() {
    if (count_ == 0) return;
    zeros_.assign(count_ * state_.clusterBytes, 0);
    WriteWipeSectors(state_, volume::ClusterToSector(state_, first_), count_ * state_.sectorsPerCluster, zeros_);
    count_ = 0;
  }

 private:
  ScanState& state_;
  const uint64_t batchClusters_;
  uint64_t first_ = 0, count_ = 0;
  std::vector<uint8_t> zeros_;
};

// The clusters of one wiped entry, as its restore would read them. A size
// larger than the data area is a restore that never runs.
uint64_t ZeroRunOf(ScanState& s, const volume::ScanState::WipeRecord::Data& d, ZeroWriter& writer) {
  const uint64_t clusters = (d.size + s.clusterBytes - 1) / s.clusterBytes;
  if (d.firstCluster < 2 || d.firstCluster > s.lastCluster || clusters == 0 || clusters > s.lastCluster - 1) return 0;
  uint64_t zeroed = 0;
  if (d.exfat) {
    DeletedExfatRun run(s, d.firstCluster, d.streamFlags);
    DeletedExfatRun::Step step;
    for (uint64_t n = 0; n < clusters && run.Next(step); ++n) zeroed += writer.Add(step.cluster);
  } else {
    DeletedFileRun run(s, d.firstCluster, d.size);
    for (uint64_t c = 0; run.Next(c);) zeroed += writer.Add(c);
  }
  return zeroed;
}

// Asks the progress window at `at` when `due`; a Cancel stops the pass there.
bool Cancelled(ScanState& s, uint64_t at, bool due) {
  if (!volume::CancelledAt(s, at, due)) return false;
  s.wipe.stoppedAtCluster = at;
  return true;
}

}  // namespace

bool IsFreeOnDisk(const ScanState& state, uint64_t cluster) {
  if (cluster < 2 || cluster > state.lastCluster) return false;
  if (state.fsKind == volume::kExfat) return !volume::IsExfatClusterUsed(state, cluster);
  return volume::ReadFatEntry(state, state.fat, cluster) == 0;
}

void WipeDeletedFileData(ScanState& s) {
  if (s.clusterBytes == 0 || s.lastCluster < 2 || s.cancelled) return;
  std::vector<volume::ScanState::WipeRecord::Data>& data = s.wipe.data;
  // The same entry may be met more than once (a folder walked and then scanned).
  const auto key = [](const auto& d) { return std::tie(d.firstCluster, d.size, d.exfat, d.streamFlags); };
  std::sort(data.begin(), data.end(), [&](const auto& a, const auto& b) { return key(a) < key(b); });
  data.erase(std::unique(data.begin(), data.end(), [&](const auto& a, const auto& b) { return key(a) == key(b); }),
             data.end());
  if (s.progress) {
    s.progress->OpenProgress();
    s.progress->StartPhase(kClusterCaption, s.lastCluster);
    s.progress->ShowFileLabel();
  }
  {
    ZeroWriter writer(s);
    // In cluster order, so the progress moves forward and a stop has a place.
    for (const auto& d : data) {
      s.wipe.dataClusters += ZeroRunOf(s, d, writer);
      // After every run: one is short beside a pass over the whole volume.
      if (Cancelled(s, std::min(d.firstCluster, s.lastCluster), true)) break;
    }
  }
  if (s.progress) s.progress->CloseProgress();
}

void WipeFreeClusters(ScanState& s) {
  if (s.clusterBytes == 0 || s.lastCluster < 2 || s.cancelled) return;
  if (s.progress) {
    s.progress->OpenProgress();
    s.progress->StartPhase(kClusterCaption, s.lastCluster);
    s.progress->ShowFileLabel();
  }
  {
    ZeroWriter writer(s);
    for (uint64_t c = 2; c <= s.lastCluster; ++c) {
      s.wipe.freeClusters += writer.Add(c);
      if (Cancelled(s, c, ClusterUpdateDue(c, 2, s.lastCluster))) break;
    }
  }
  if (s.progress) s.progress->CloseProgress();
}

}  // namespace vellum::fat
