#include "app/row_damage.h"

#include <algorithm>

#include "fat/cluster_runs.h"
#include "ntfs/record_state.h"
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

// An NTFS record's data, run by run: the file's bytes on unreadable parts.
std::vector<volume::ByteRange> RecordDamage(volume::ScanState& s, const ntfs::FoundRecord& r) {
  std::vector<volume::ByteRange> found;
  for (const ntfs::DataPiece& piece : ntfs::RecordDataPieces(s, r)) {
    uint64_t at = 0;
    if (!CheckedMul(volume::ClusterToSector(s, piece.cluster), s.bytesPerSector, at) || at > UINT64_MAX - piece.bytes)
      continue;
    for (const volume::ByteRange& h : volume::UnreadableIn(s.readDamage, at, at + piece.bytes)) {
      const volume::ByteRange inFile{piece.fileOffset + (h.first - at), piece.fileOffset + (h.end - at)};
      if (!found.empty() && found.back().end == inFile.first) found.back().end = inFile.end;
      else found.push_back(inFile);
    }
  }
  return found;
}

// A file recognised by its contents on NTFS lies in one run from its first cluster.
std::vector<volume::ByteRange> ContiguousDamage(const volume::ScanState& s, uint64_t first, uint64_t bytes) {
  uint64_t at = 0;
  if (!CheckedMul(volume::ClusterToSector(s, first), s.bytesPerSector, at) || at > UINT64_MAX - bytes) return {};
  std::vector<volume::ByteRange> found = volume::UnreadableIn(s.readDamage, at, at + bytes);
  for (volume::ByteRange& h : found) h = {h.first - at, h.end - at};
  return found;
}

std::vector<volume::ByteRange> ItemDamage(volume::ScanState& s, const RowItem& item) {
  if (s.clusterBytes == 0) return {};
  if (s.fsKind == volume::kNtfs) {
    if (const auto* r = std::get_if<ntfs::FoundRecord>(&item)) return RecordDamage(s, *r);
    if (const auto* c = std::get_if<content::FoundContent>(&item))
      if (c->firstCluster <= s.lastCluster && c->size > 0) return ContiguousDamage(s, c->firstCluster, c->size);
    return {};
  }
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

void AddReadDamage(volume::ScanState& state, const RowItem& item, volume::Recoverability& r) {
  if (state.readDamage.ranges.empty() || r.state == volume::RowState::kOverwritten) return;
  std::vector<volume::ByteRange> damage = ItemDamage(state, item);
  if (damage.empty()) return;
  r.state = volume::RowState::kUnreadable;
  r.unreadable = std::move(damage);
}

}  // namespace vellum::app
