#include "app/same_content.h"

#include <unordered_map>

#include "app/row_item.h"

namespace vellum::app {

std::vector<std::optional<size_t>> SameContentRows(const ResultList& rows) {
  std::vector<std::optional<size_t>> same(rows.RowCount());
  if (KindOfList(rows) != ListKind::kFatFamily) return same;
  std::vector<RowItem> items;
  items.reserve(rows.RowCount());
  std::unordered_map<uint64_t, size_t> named;  // first cluster -> the first file listed by name there
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    items.push_back(ReadRowItem(rows, row, ListKind::kFatFamily));
    const auto* e = std::get_if<fat::FoundEntry>(&items.back());
    if (e && !e->isFolder && e->size > 0 && e->firstCluster >= 2) named.emplace(e->firstCluster, row);
  }
  for (size_t row = 0; row < items.size(); ++row)
    if (const auto* c = std::get_if<content::FoundContent>(&items[row]))
      if (const auto found = named.find(c->firstCluster); found != named.end()) same[row] = found->second;
  return same;
}

}  // namespace vellum::app
