#include "app/same_content.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
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

// Rows listed by name that are an earlier row's file again: on FAT and exFAT
// an entry of the same first cluster and size (its bytes are the same run),
// on NTFS a record read from a scanned cluster that the table walk listed
// under the same number and name. Needs nothing read from the volume.
// The entries are sorted rather than mapped: a map node for each of a few
// million rows would cost more than the rows themselves.
void MarkRepeatedNames(const ResultList& rows, ListKind kind, std::vector<uint32_t>& same) {
  struct Entry {
    uint64_t firstCluster, size;
    uint32_t row;
  };
  std::vector<Entry> entries;
  std::map<std::pair<uint32_t, std::string>, size_t> records;  // walked record, name -> its row
  std::vector<std::pair<size_t, std::pair<uint32_t, std::string>>> scanned;
  for (size_t row = 0; row < rows.RowCount(); ++row) {
    const RowItem item = ReadRowItem(rows, row, kind);
    if (const auto* e = std::get_if<fat::FoundEntry>(&item)) {
      if (e->isFolder || e->size == 0 || e->firstCluster < 2) continue;
      entries.push_back({e->firstCluster, e->size, static_cast<uint32_t>(row)});
    } else if (const auto* r = std::get_if<ntfs::FoundRecord>(&item)) {
      if (r->isFolder || r->source.recordNumber == 0) continue;
      std::pair<uint32_t, std::string> key{r->source.recordNumber, r->name};
      if (r->source.cluster == 0) records.emplace(std::move(key), row);
      else scanned.emplace_back(row, std::move(key));
    }
  }
  for (const auto& [row, key] : scanned)
    if (const auto found = records.find(key); found != records.end()) same[row] = static_cast<uint32_t>(found->second);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return std::tie(a.firstCluster, a.size, a.row) < std::tie(b.firstCluster, b.size, b.row);
  });
  for (size_t i = 1; i < entries.size(); ++i) {
    const Entry& first = entries[i - 1];
    if (entries[i].firstCluster != first.firstCluster || entries[i].size != first.size) continue;
    same[entries[i].row] = same[first.row] == kNoSameRow ? first.row : same[first.row];
  }
}

}  // namespace

std::vector<std::optional<size_t>> SameContentRows(volume::ScanState& s, const ResultList& rows) {
  const std::vector<uint32_t> numbers = SameContentRowNumbers(s, rows);
  std::vector<std::optional<size_t>> same(numbers.size());
  for (size_t row = 0; row < numbers.size(); ++row)
    if (numbers[row] != kNoSameRow) same[row] = numbers[row];
  return same;
}

std::vector<uint32_t> SameContentRowNumbers(volume::ScanState& s, const ResultList& rows) {
  std::vector<uint32_t> same(rows.RowCount(), kNoSameRow);
  const ListKind kind = KindOfList(rows);
  MarkRepeatedNames(rows, kind, same);
  // Each row's item is read and let go in turn: a deep tree's rows each carry
  // a folder text of up to 8 KiB, and held all at once they would not fit.
  std::vector<std::pair<size_t, uint64_t>> contents;  // content row, its first cluster
  for (size_t row = 0; row < rows.RowCount(); ++row)
    if (const RowItem item = ReadRowItem(rows, row, kind); const auto* c = std::get_if<content::FoundContent>(&item))
      contents.emplace_back(row, c->firstCluster);
  if (contents.empty()) return same;
  std::unordered_map<uint64_t, size_t> named;  // first cluster -> the first file listed by name there
  for (size_t row = 0; row < rows.RowCount(); ++row)
    if (same[row] == kNoSameRow)
      if (const auto first = NamedFirstCluster(s, ReadRowItem(rows, row, kind))) named.emplace(*first, row);
  for (const auto& [row, first] : contents)
    if (const auto found = named.find(first); found != named.end()) same[row] = static_cast<uint32_t>(found->second);
  return same;
}

}  // namespace vellum::app
