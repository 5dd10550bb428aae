#include "app/row_state.h"

#include "app/row_damage.h"

#include "content/cluster_follow.h"
#include "fat/cluster_runs.h"
#include "fat/recoverability.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/record_state.h"

namespace vellum::app {

namespace {

// A recognised file's run is the free clusters from its first when that is
// free, else consecutive ones: taken from the first cluster on.
volume::Recoverability ContentRecoverability(const volume::ScanState& s, const content::FoundContent& c) {
  const uint64_t clusters = s.clusterBytes ? (c.size + s.clusterBytes - 1) / s.clusterBytes : 0;
  // exFAT tells use by its bitmap alone: a contiguous live file has no FAT chain.
  const bool firstInUse = s.fsKind == volume::kExfat ? fat::IsExfatEntryInUse(s, c.firstCluster)
                                                      : !content::IsClusterFree(s, c.firstCluster);
  return volume::RecoverabilityOf(firstInUse, firstInUse ? clusters : 0, clusters, false);
}

}  // namespace

namespace {

volume::Recoverability FromTables(volume::ScanState& s, const RowItem& item) {
  if (const auto* e = std::get_if<fat::FoundEntry>(&item)) return fat::EntryRecoverability(s, *e);
  if (const auto* r = std::get_if<ntfs::FoundRecord>(&item)) return ntfs::RecordRecoverability(s, *r);
  if (const auto* c = std::get_if<content::FoundContent>(&item)) return ContentRecoverability(s, *c);
  return volume::RecoverabilityOf(false, 0, 0, true);
}

}  // namespace

volume::Recoverability ItemRecoverability(volume::ScanState& s, const RowItem& item) {
  volume::Recoverability r = FromTables(s, item);
  AddReadDamage(s, item, r);
  return r;
}

std::vector<volume::Recoverability> RowStates(volume::ScanState& s, const ResultList& rows) {
  std::vector<volume::Recoverability> states;
  if (rows.RowCount() == 0) return states;
  const bool loadBitmap = s.fsKind == volume::kNtfs && s.clusterBitmap.empty();
  if (loadBitmap) ntfs::LoadNtfsClusterBitmap(s);
  const ListKind kind = KindOfList(rows);
  states.reserve(rows.RowCount());
  for (size_t row = 0; row < rows.RowCount(); ++row) states.push_back(ItemRecoverability(s, ReadRowItem(rows, row, kind)));
  if (loadBitmap) s.clusterBitmap.clear();
  return states;
}

}  // namespace vellum::app
