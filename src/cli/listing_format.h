// The forms a result list is written in by the command line: the results
// file (what the window saves and loads, for files and pipes), a table for
// a person at a terminal, JSON lines and CSV for scripts. Row numbers are
// the numbers `restore --rows` takes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/recycle_bin_rows.h"
#include "app/result_list.h"
#include "app/results_file.h"
#include "content/content_check.h"
#include "platform/shell_info.h"
#include "volume/recoverability.h"

namespace vellum::cli {

enum class ListingFormat { kResults, kTable, kJson, kCsv };

// "results", "table", "json" or "csv".
std::optional<ListingFormat> ParseListingFormat(std::string_view text);

// One row as the script-facing forms name its fields.
struct ListedRow {
  size_t row = 0;  // from 1
  std::string name, folder, path, type;
  std::optional<uint64_t> size;
  std::string mtime;  // ISO 8601 with the local offset; empty when unknown
  std::optional<uint64_t> cluster, record, scanCluster, slot;
  bool isDir = false, fatChain = false;
  std::string kind;  // walk, orphan or content
  std::string mime;  // the type for scripts, whatever the locale; empty when unknown
  std::optional<volume::Recoverability> state;  // when the volume was there to tell
  std::optional<uint64_t> sameAs;               // the row (from 1) whose data a content row repeats
  std::optional<content::ContentCheck> check;   // a content row's own check, when the volume was asked
  std::string stream;                           // an alternate data stream's name; empty for a file's own row
  std::optional<app::BinNote> bin;              // what the Recycle Bin's index says of the row
};

// What the volume tells of the rows beyond their cells, one per row in row
// order: how recoverable each is, and the row a content row's data repeats
// (from 0). Absent when the volume was not asked.
struct RowNotes {
  std::vector<volume::Recoverability> states;
  std::vector<std::optional<size_t>> sameAs;
  std::vector<std::optional<content::ContentCheck>> checks;  // content rows only
  app::BinNotes bin;
};

// `shell` gives the locale-free type; without it `mime` stays empty.
ListedRow DescribeRow(const app::ResultList& list, size_t row, ShellInfo* shell = nullptr,
                      const RowNotes* notes = nullptr);

// "2024/05/06 07:08:10[.123]" (local time) as "2024-05-06T07:08:10[.123]+09:00";
// empty for anything else.
std::string IsoLocalTime(std::string_view text);

// Both carry `type` as shown to a person and `mime`, the key scripts select by.
// With `notes`, each row also says how recoverable it is (state, clusters_in_use) and
// which row's data it repeats (same_as).
// Both are handed to `write` in pieces of about a megabyte, each ending a line.
void WriteJsonLines(const app::ResultList& list, ShellInfo* shell, const RowNotes* notes,
                    const app::TextPieces& write);
void WriteCsv(const app::ResultList& list, ShellInfo* shell, const RowNotes* notes, const app::TextPieces& write);
// Aligned to `width` columns: the name and folder give way first.
std::string FormatTable(const app::ResultList& list, size_t width, const RowNotes* notes = nullptr);

// The width of the terminal standard output goes to (COLUMNS, else 80).
size_t TerminalColumns();

// "1.5 MB" style, powers of 1024 as file managers show them.
std::string HumanSize(uint64_t bytes);

}  // namespace vellum::cli
