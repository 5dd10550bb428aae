#include "app/search_outcome.h"

#include <string>

#include "app/row_item.h"
#include "app/window_texts.h"

namespace vellum::app {

StatusLine StatusAfterSearch(const volume::ScanState& state, bool thorough) {
  if (state.cancelled != 0) return {kScanCancelledStatus, false};
  if (state.fsKind == volume::kExfat && !thorough) return {kLiveFoldersStatus, true};
  if (FatFindsMoreThoroughly(state, thorough)) return {kFatFreeFoldersStatus, true};
  return {};
}

bool FatFindsMoreThoroughly(const volume::ScanState& state, bool thorough) {
  const bool fat = state.fsKind == volume::kFat12 || state.fsKind == volume::kFat16 || state.fsKind == volume::kFat32;
  return fat && !thorough && state.foundCount == 0 && state.cancelled == 0;
}

bool OffersThoroughSearch(const volume::ScanState& state, bool thorough) {
  return state.fsKind == volume::kExfat && state.foundCount == 0 && !thorough && state.cancelled == 0;
}

bool AsksContentSize(const ResultList& list, const std::vector<size_t>& rows) {
  return rows.size() == 1 && IsContentRow(list, rows[0]);
}

ResultList RowWithSize(const ResultList& list, size_t row, uint64_t size) {
  ResultList copy;
  std::vector<Column> columns;
  for (size_t c = 0; c < list.ColumnCount(); ++c) columns.push_back(list.ColumnAt(c));
  copy.ReplaceColumns(columns);
  copy.InsertRow(0, list.Cell(row, 0), list.Icon(row));
  for (size_t c = 1; c < list.ColumnCount(); ++c) copy.SetCell(0, c, list.Cell(row, c));
  copy.SetDataWord(0, list.DataWord(row));
  copy.SetCell(0, 2, std::to_string(size));
  return copy;
}

}  // namespace vellum::app
