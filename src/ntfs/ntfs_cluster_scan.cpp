#include "ntfs/ntfs_cluster_scan.h"

#include <algorithm>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/cluster_bitmap.h"
#include "ntfs/ntfs_search.h"
#include "volume/cancel.h"
#include "volume/fixups.h"
#include "volume/sector_io.h"
#include "volume/volume_extent.h"

namespace vellum::ntfs {

namespace {

// A read unit: one cluster holding several record slots, or the clusters
// one record spans.
struct ReadUnit {
  uint64_t clusters = 1;
  uint32_t slots = 1;
};

ReadUnit UnitOf(const volume::ScanState& s) {
  ReadUnit unit;
  if (s.mftRecordSize < s.clusterBytes) {
    unit.slots = s.clusterBytes / s.mftRecordSize;
  } else {
    unit.clusters = s.mftRecordSize / s.clusterBytes;
  }
  return unit;
}

// Lists every slot of the unit that holds a file record; `record` (one
// record long) takes each record's bytes for its fixups.
void ListRecords(volume::ScanState& s, uint64_t cluster, ByteView unit, uint32_t slots, NtfsRowCache& cache,
                 std::vector<uint8_t>& record) {
  for (uint32_t slot = 0; slot < slots; ++slot) {
    const ByteView bytes = unit.subspan(uint64_t{slot} * s.mftRecordSize, s.mftRecordSize);
    if (!HasFileSignature(bytes)) continue;
    std::copy(bytes.begin(), bytes.end(), record.begin());
    volume::ApplyFixups(record);
    AddNtfsRow(s, {0, cluster, slot}, record, &cache);
  }
}

}  // namespace

int ScanNtfsFreeClusters(volume::ScanState& s, int all, ClusterRangeAsker& asker,
                         const volume::ContentAnalyser& analyse) {
  uint64_t first = 0, last = s.lastCluster;
  if (!asker.RunClusterRangeDialog(first, last)) return 0;
  last = std::min(last, volume::LastScannedCluster(s));
  if (s.mftRecordSize == 0 || s.clusterBytes == 0) return 1;
  const ReadUnit unit = UnitOf(s);
  LoadNtfsClusterBitmap(s);
  if (s.rows) s.rows->AddScanColumns();
  Progress* progress = s.progress;
  if (progress) {
    progress->OpenProgress();
    progress->StartPhase(kClusterCaption, std::max<uint64_t>(s.lastCluster, 1));
  }
  s.cancelled = 0;
  volume::ReadAheadScope readAhead(s);
  std::vector<uint8_t> bytes(unit.clusters * s.clusterBytes);
  std::vector<uint8_t> record(s.mftRecordSize);
  NtfsRowCache cache;
  for (uint64_t c = first; c <= last && c >= first; ++c) {
    if (all || !volume::IsNtfsClusterUsed(s, c)) {
      // A failed read leaves zeros: stale bytes would be listed twice.
      const ByteView unitBytes =
          volume::ViewSectors(s, c * s.sectorsPerCluster, unit.clusters * s.sectorsPerCluster, bytes, volume::kScanView);
      ListRecords(s, c, unitBytes, unit.slots, cache, record);
      if (s.options.analyse && analyse) analyse(s, c, unitBytes);
    }
    if (volume::CancelledAt(s, c, ClusterUpdateDue(c, first, last))) break;
    if (c == UINT64_MAX) break;
  }
  if (progress) progress->CloseProgress();
  s.clusterBitmap.clear();
  s.clusterBitmap.shrink_to_fit();
  return 1;
}

}  // namespace vellum::ntfs
