#include "fat/cluster_runs.h"

#include <algorithm>

#include "volume/fat_layout.h"
#include "volume/sector_io.h"

namespace vellum::fat {

using volume::ReadFatEntry;

namespace {

bool IsFatKind(uint8_t fsKind) {
  return fsKind == volume::kFat12 || fsKind == volume::kFat16 || fsKind == volume::kFat32;
}

// A FAT value as the walkers compare it: unsigned, so -1 and -9 lie far above
// lastCluster and end any chain.
uint64_t AsCluster(int32_t entry) { return static_cast<uint32_t>(entry); }

}  // namespace

uint64_t FatEntryFirstCluster(ByteView entry) {
  return uint64_t{Le(entry, fat_layout::kFirstClusterHigh)} * 65536 + Le(entry, fat_layout::kFirstClusterLow);
}

bool IsFatEntryInUse(const ScanState& state, uint64_t firstCluster) {
  return ReadFatEntry(state, state.fat, firstCluster) != 0;
}

bool IsExfatEntryInUse(const ScanState& state, uint64_t firstCluster) {
  return firstCluster < 2 || volume::IsExfatClusterUsed(state, firstCluster);
}

bool IsClaimed(const ScanState& state, uint64_t cluster) {
  return ReadFatEntry(state, state.fatWork, cluster) != 0;
}

void Claim(ScanState& state, uint64_t cluster) {
  if (IsFatKind(state.fsKind)) volume::WriteFatEntry(state, cluster, volume::kFatEndOfChain);
}

bool ClaimDeletedDirectory(ScanState& state, uint64_t firstCluster) {
  if (IsClaimed(state, firstCluster)) return false;
  Claim(state, firstCluster);
  return true;
}

LiveChain::LiveChain(const ScanState& state, uint64_t firstCluster)
    : state_(state), next_(firstCluster) {}

bool LiveChain::Next(uint64_t& cluster) {
  if (next_ > state_.lastCluster || !guard_.FirstVisit(next_)) return false;
  cluster = next_;
  const int32_t n = ReadFatEntry(state_, state_.fatWork, cluster);
  // A free link inside a live chain: entry 1 holds an end mark on every
  // formatted volume, and then the chain simply ends. Were entry 1 free too,
  // the next cluster would be cluster 1, before the data area: we end there as well.
  if (n == volume::kFatEndOfChain || n == 0)
    next_ = volume::kNoCluster;
  else
    next_ = AsCluster(n);  // -9 and values above lastCluster end at the next call
  return true;
}

DeletedFileRun::DeletedFileRun(const ScanState& state, uint64_t firstCluster, uint64_t size)
    : state_(state),
      current_(firstCluster),
      remaining_(state.clusterBytes ? (size + state.clusterBytes - 1) / state.clusterBytes : 0),
      freeOnly_(ReadFatEntry(state, state.fat, firstCluster) == 0) {}

bool DeletedFileRun::Advance() {
  // No cluster past the in-memory FAT can be free, so free-only mode wraps there.
  const uint64_t entries = volume::FatEntryCount(state_);
  const uint64_t freeLimit = std::min(state_.lastCluster, entries == 0 ? 0 : entries - 1);
  for (;;) {
    ++current_;
    const uint64_t limit = freeOnly_ ? freeLimit : state_.lastCluster;
    if (current_ == 0 || current_ > limit) {
      if (wrapped_) return false;
      wrapped_ = true;
      current_ = 2;
      if (current_ > limit) return false;
    }
    if (!freeOnly_ || ReadFatEntry(state_, state_.fat, current_) == 0) return true;
  }
}

bool DeletedFileRun::Next(uint64_t& cluster) {
  if (remaining_ == 0) return false;
  if (started_ && !Advance()) return false;
  started_ = true;
  --remaining_;
  cluster = current_;
  return true;
}

ExfatRun::ExfatRun(const ScanState& state, uint64_t firstCluster, uint8_t streamFlags, Kind kind)
    : state_(state),
      next_(firstCluster),
      followFat_(streamFlags == 1),
      kind_(kind) {}

bool ExfatRun::Next(uint64_t& cluster) {
  if (ended_ || next_ > state_.lastCluster) return false;
  // A directory chain that loops would be walked for ever; file data is
  // bounded by its size at the caller.
  if (kind_ == Kind::Directory && !guard_.FirstVisit(next_)) return false;
  cluster = next_;
  uint64_t n = cluster + 1;
  if (followFat_) {
    const uint64_t fatNext = AsCluster(ReadFatEntry(state_, state_.fat, cluster));
    const bool valid = fatNext >= 2 && fatNext <= state_.lastCluster;
    if (valid)
      n = fatNext;
    else if (kind_ == Kind::Directory)
      ended_ = true;
  }
  next_ = n;
  return true;
}

DeletedExfatRun::DeletedExfatRun(const ScanState& state, uint64_t firstCluster, uint8_t streamFlags)
    : state_(state), next_(firstCluster), followFat_(streamFlags == 1) {
  guard_.FirstVisit(firstCluster);
}

bool DeletedExfatRun::IsFree(uint64_t cluster) const {
  return cluster >= 2 && cluster <= state_.lastCluster && !volume::IsExfatClusterUsed(state_, cluster);
}

// The first free cluster after `after`, going round from cluster 2 once per run.
bool DeletedExfatRun::NextFree(uint64_t after, uint64_t& cluster) {
  for (uint64_t c = after + 1;; ++c) {
    if (c > state_.lastCluster) {
      if (wrapped_) return false;
      wrapped_ = true;
      c = 2;
    }
    if (IsFree(c)) {
      cluster = c;
      return true;
    }
  }
}

bool DeletedExfatRun::Next(Step& step) {
  // The next free cluster is looked for only when asked: the last cluster of
  // a file has no successor to find.
  if (seekFree_ && !NextFree(next_, next_)) next_ = volume::kNoCluster;
  seekFree_ = false;
  if (next_ < 2 || next_ > state_.lastCluster) return false;
  const uint64_t c = next_;
  const bool free = IsFree(c);
  step.cluster = c;
  step.source = !free ? Source::kInUse : predicting_ ? Source::kPredicted : Source::kRecorded;
  if (!followFat_) {
    next_ = c + 1;
    return true;
  }
  if (!predicting_) {
    const uint64_t link = AsCluster(ReadFatEntry(state_, state_.fat, c));
    // A cluster in use holds another file's link, and a link into a cluster
    // in use (or back into this chain) leads into another file: from there
    // on the chain is predicted.
    if (free && IsFree(link) && guard_.FirstVisit(link)) {
      next_ = link;
      return true;
    }
    predicting_ = true;
  }
  seekFree_ = true;
  return true;
}

}  // namespace vellum::fat
