// A result list, a shell and a progress line that only record what the
// listing steps hand them, with the row's icon and every cell.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "volume/seams.h"

namespace vellum::testing {

struct ListedRow {
  std::map<size_t, std::string> cells;
  int icon = 0;
  uint32_t dataWord = 0;
};

class RecordingSink : public RowSink {
 public:
  void InsertRow(size_t index, std::string_view name, int iconIndex) override {
    ASSERT_LE(index, rows.size());
    rows.insert(rows.begin() + static_cast<ptrdiff_t>(index),
                ListedRow{{{0, std::string(name)}}, iconIndex, 0});
  }
  void SetCell(size_t index, size_t column, std::string_view text) override {
    rows.at(index).cells[column] = text;
  }
  void SetDataWord(size_t index, uint32_t word) override { rows.at(index).dataWord = word; }
  void ShowFoundCount(uint32_t count) override { shownCounts.push_back(count); }

  std::vector<ListedRow> rows;
  std::vector<uint32_t> shownCounts;
};

class RecordingShell : public ShellInfo {
 public:
  const ShellFileInfo& Lookup(std::string_view key, bool directory) override {
    asked.emplace_back(std::string(key), directory);
    return answer = {directory ? "フォルダー" : "type of " + std::string(key), directory ? 3 : 7, {}};
  }
  ShellFileInfo answer;
  std::vector<std::pair<std::string, bool>> asked;
};

class RecordingProgress : public Progress {
 public:
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t) override { return 1; }
  int PumpAndCheckCancel() override { return 0; }
  void SetFileName(std::string_view name) override { names.emplace_back(name); }
  void CloseProgress() override {}
  std::vector<std::string> names;
};

}  // namespace vellum::testing
