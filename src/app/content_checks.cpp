#include "app/content_checks.h"

#include "app/row_item.h"
#include "content/content_verdict.h"
#include "ntfs/cluster_bitmap.h"

namespace vellum::app {

std::vector<std::optional<content::ContentCheck>> ContentChecks(volume::ScanState& s, const ResultList& rows) {
  std::vector<std::optional<content::ContentCheck>> checks(rows.RowCount());
  bool loaded = false;
  const ListKind kind = KindOfList(rows);
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    const RowItem item = ReadRowItem(rows, row, kind);
    const auto* found = std::get_if<content::FoundContent>(&item);
    if (found == nullptr) continue;
    if (!loaded && s.fsKind == volume::kNtfs && s.clusterBitmap.empty()) {
      ntfs::LoadNtfsClusterBitmap(s);
      loaded = true;
    }
    checks[row] = content::CheckFoundContent(s, *found);
  }
  if (loaded) s.clusterBitmap.clear();
  return checks;
}

}  // namespace vellum::app
