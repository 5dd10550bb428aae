#include "content/compound_sector.h"

#include <algorithm>

#include "content/cluster_follow.h"
#include "volume/sector_io.h"

namespace vellum::content {

namespace {

// Entry `index` of a FAT or DIFAT sector; 0 when the sector does not hold it.
int32_t Entry(ByteView sector, uint32_t index) {
  return static_cast<int32_t>(FieldReader(sector).U32(uint64_t{index} * 4));
}

}  // namespace

CompoundReader::CompoundReader(volume::ScanState& state, uint64_t startCluster)
    : state_(state), start_(startCluster), followFree_(IsClusterFree(state, startCluster)) {}

bool CompoundReader::Spend(uint64_t& budget, uint64_t amount) {
  if (budget < amount) {
    budget = 0;
    return false;
  }
  budget -= amount;
  return true;
}

bool CompoundReader::LocateCluster(uint64_t k, uint64_t& target) {
  const uint64_t last = state_.lastCluster;
  if (!CheckedAdd(start_, k, target) || target > last) return false;
  if (!followFree_ || k == 0) return true;
  if (state_.fsKind == volume::kNtfs) {
    // NTFS: the k-th free cluster after the start.
    uint64_t x = start_;
    for (uint64_t seen = 0; seen < k;) {
      if (++x > last || !Spend(stepsLeft_, 1)) return false;
      if (!volume::IsNtfsClusterUsed(state_, x)) ++seen;
    }
    target = x;
    return true;
  }
  // FAT and exFAT: the first free cluster at or after start + k; the clusters
  // in use before it are not subtracted, unlike on NTFS.
  while (volume::ReadFatEntry(state_, state_.fat, target) != 0) {
    if (++target > last || !Spend(stepsLeft_, 1)) return false;
  }
  return true;
}

bool CompoundReader::ReadCompoundSector(uint32_t sector, CompoundSector& out) {
  const uint64_t cb = state_.clusterBytes;
  if (cb < kCompoundSectorBytes || cb % kCompoundSectorBytes != 0) return false;
  const uint64_t offset = (uint64_t{sector} + 1) * kCompoundSectorBytes;
  uint64_t target = 0;
  if (!Spend(copiesLeft_, 1) || !LocateCluster(offset / cb, target)) return false;
  if (target != cachedCluster_) {
    if (!Spend(readsLeft_, 1)) return false;
    clusterBuffer_.assign(cb, 0);
    // The transfer's result is not consulted: what could not be read is zeros,
    // which classify as no known stream and describe no used sector.
    volume::ReadCluster(state_, target, clusterBuffer_);
    cachedCluster_ = target;
  }
  std::copy_n(clusterBuffer_.begin() + static_cast<ptrdiff_t>(offset % cb), kCompoundSectorBytes, out.begin());
  return true;
}

bool CompoundReader::FatSectorOf(ByteView header, uint32_t q, uint32_t& fatSector) {
  // The header's fields are read through a reader of their own: a header
  // shorter than its sector gives 0 for what it lacks, as zeros would.
  FieldReader r(header);
  if (q < kHeaderDifatEntries) {
    fatSector = r.U32(kHeaderDifatOffset + uint64_t{q} * 4);
    return true;
  }
  int32_t d = static_cast<int32_t>(r.U32(kFirstDifatSectorOffset));
  if (d == kCompoundEndOfChain) return false;
  uint32_t j = q - kHeaderDifatEntries;
  CompoundSector difat{};
  for (;;) {
    if (!ReadCompoundSector(static_cast<uint32_t>(d), difat)) return false;
    if (j < kDifatEntriesPerSector) {
      fatSector = static_cast<uint32_t>(Entry(difat, j));
      return true;
    }
    d = Entry(difat, kDifatEntriesPerSector);
    j -= kDifatEntriesPerSector;
    if (d == kCompoundEndOfChain || d == kCompoundFree) return false;
  }
}

int32_t CompoundReader::NextCompoundSector(ByteView header, uint32_t sector) {
  uint32_t fatSector = 0;
  if (!FatSectorOf(header, sector / kEntriesPerFatSector, fatSector)) return kCompoundFree;
  CompoundSector fat{};
  if (!ReadCompoundSector(fatSector, fat)) return kCompoundFree;
  return Entry(fat, sector % kEntriesPerFatSector);
}

}  // namespace vellum::content
