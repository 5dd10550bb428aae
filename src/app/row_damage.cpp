#include "app/row_damage.h"

#include <algorithm>

#include "fat/cluster_runs.h"
#include "volume/sector_io.h"

namespace vellum::app {

namespace {

// Gathers, cluster by cluster of a file's run, the file's bytes that lie on
// unreadable parts of the volume.
class DamageOfRun {
 public:
  DamageOfRun(const volume::ScanState& s, uint64_t size) : s_(s), size_(size) {}

  // False once the file's size is covered.
  bool Add(uint64_t cluster) {
    const uint64_t length = std::min<uint64_t>(s_.clusterBytes, size_ - done_);
    uint64_t at = 0;
    if (CheckedMul(volume::ClusterToSector(s_, cluster), s_.bytesPerSector, at) && at <= UINT64_MAX - length)
      for (const volume::ByteRange& h : volume::UnreadableIn(s_.readDamage, at, at + length))
        Note(done_ + (h.first - at), done_ + (h.end - at));
    done_ += length;
    return done_ < size_;
  }
  std::vector<volume::ByteRange> Take() { return std::move(found_); }

 private:
  void Note(uint64_t first, uint64_t end) {
    if (!found_.empty() && found_.back().end == first)
      found_.back().end = end;
    else
      found_.push_back({first, end});
  }
  const volume::ScanState& s_;
  const uint64_t size_;
  uint64_t done_ = 0;
  std::vector<volume::ByteRange> found_;
};

// A folder's row stands for its first directory cluster.
uint64_t BytesOf(const volume::ScanState& s, uint64_t size, bool folder) {
  return folder || size == 0 ? s.clusterBytes : size;
}

std::vector<volume::ByteRange> FatRunDamage(const volume::ScanState& s, uint64_t first, uint64_t bytes) {
  DamageOfRun damage(s, bytes);
  fat::DeletedFileRun run(s, first, bytes);
  for (uint64_t c = 0; run.Next(c) && damage.Add(c);) {
  }
  return damage.Take();
}

std::vector<volume::ByteRange> ExfatRunDamage(const volume::ScanState& s, const fat::FoundEntry& e, uint64_t bytes) {
  DamageOfRun damage(s, bytes);
  fat::DeletedExfatRun run(s, e.firstCluster, e.fatChain ? 1 : 0);
  for (fat::DeletedExfatRun::Step step; run.Next(step) && damage.Add(step.cluster);) {
  }
  return damage.Take();
}

std::vector<volume::ByteRange> ItemDamage(const volume::ScanState& s, const RowItem& item) {
  if (s.clusterBytes == 0 || s.fsKind == volume::kNtfs) return {};
  if (const auto* e = std::get_if<fat::FoundEntry>(&item)) {
    if (e->firstCluster < 2 || e->firstCluster > s.lastCluster) return {};
    const uint64_t bytes = BytesOf(s, e->size, e->isFolder);
    return s.fsKind == volume::kExfat ? ExfatRunDamage(s, *e, bytes) : FatRunDamage(s, e->firstCluster, bytes);
  }
  if (const auto* c = std::get_if<content::FoundContent>(&item))
    if (c->firstCluster >= 2 && c->firstCluster <= s.lastCluster && c->size > 0)
      return FatRunDamage(s, c->firstCluster, c->size);
  return {};
}

}  // namespace

void AddReadDamage(const volume::ScanState& state, const RowItem& item, volume::Recoverability& r) {
  if (state.readDamage.ranges.empty() || r.state == volume::RowState::kOverwritten) return;
  std::vector<volume::ByteRange> damage = ItemDamage(state, item);
  if (damage.empty()) return;
  r.state = volume::RowState::kUnreadable;
  r.unreadable = std::move(damage);
}

}  // namespace vellum::app
