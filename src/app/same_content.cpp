#include "app/same_content.h"

#include <algorithm>
#include <unordered_map>

#include "app/row_item.h"
#include "ntfs/record_state.h"

namespace vellum::app {

namespace {

// Where a file listed by name begins on the volume; none for a folder or a
// file without clusters.
std::optional<uint64_t> NamedFirstCluster(volume::ScanState& s, const RowItem& item) {
  if (const auto* e = std::get_if<fat::FoundEntry>(&item)) {
    if (e->isFolder || e->size == 0 || e->firstCluster < 2) return std::nullopt;
    return e->firstCluster;
  }
  if (const auto* r = std::get_if<ntfs::FoundRecord>(&item))
    return s.fsKind == volume::kNtfs ? ntfs::RecordFirstCluster(s, *r) : std::nullopt;
  return std::nullopt;
}

}  // namespace

std::vector<std::optional<size_t>> SameContentRows(volume::ScanState& s, const ResultList& rows) {
  std::vector<std::optional<size_t>> same(rows.RowCount());
  const ListKind kind = KindOfList(rows);
  std::vector<RowItem> items;
  items.reserve(rows.RowCount());
  for (size_t row = 0; row < rows.RowCount(); ++row) items.push_back(ReadRowItem(rows, row, kind));
  const auto isContent = [](const RowItem& item) { return std::holds_alternative<content::FoundContent>(item); };
  if (std::none_of(items.begin(), items.end(), isContent)) return same;
  std::unordered_map<uint64_t, size_t> named;  // first cluster -> the first file listed by name there
  for (size_t row = 0; row < items.size(); ++row)
    if (const auto first = NamedFirstCluster(s, items[row])) named.emplace(*first, row);
  for (size_t row = 0; row < items.size(); ++row)
    if (const auto* c = std::get_if<content::FoundContent>(&items[row]))
      if (const auto found = named.find(c->firstCluster); found != named.end()) same[row] = found->second;
  return same;
}

}  // namespace vellum::app
