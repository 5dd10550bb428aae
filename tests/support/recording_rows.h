// A result list that only records what the walkers put into it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "volume/seams.h"

namespace vellum::testing {

struct RecordedRow {
  std::string name;
  std::map<size_t, std::string> cells;
  uint32_t dataWord = 0;
  std::string Cell(size_t column) const {
    auto it = cells.find(column);
    return it == cells.end() ? std::string() : it->second;
  }
};

class RecordingRows : public RowSink {
 public:
  void InsertRow(size_t index, std::string_view name, int) override {
    rows.insert(rows.begin() + static_cast<ptrdiff_t>(std::min(index, rows.size())), RecordedRow{std::string(name), {}, 0});
  }
  void SetCell(size_t index, size_t column, std::string_view text) override {
    if (index < rows.size()) rows[index].cells[column] = std::string(text);
  }
  void SetDataWord(size_t index, uint32_t word) override {
    if (index < rows.size()) rows[index].dataWord = word;
  }
  void ShowFoundCount(uint32_t count) override { shownCount = count; }

  std::vector<RecordedRow> rows;
  uint32_t shownCount = 0;
};

}  // namespace vellum::testing
