#include "cli/restore_cli.h"

#include <iostream>

#include "app/progress_model.h"
#include "app/restore_command.h"
#include "app/results_file.h"
#include "cli/cli_messages.h"
#include "cli/source_args.h"
#include "cli/source_drive.h"
#include "cli/terminal_progress.h"
#include "platform/qt/shell_info_qt.h"

namespace vellum::cli {

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitIncomplete = 3;  // ran to the end, but not every item was restored intact

int Usage(std::ostream& err, const std::string& message) {
  err << "vellum-cli: " << message << '\n';
  return kExitUsage;
}

bool ParseNumber(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return true;
}

// A results file read into a result list: its columns, rows and data words.
bool LoadRows(const std::string& path, app::ResultList& list, std::string& error) {
  app::ResultsFileLines lines;
  if (lines.Read(path, error) != app::ResultsFileLines::ReadResult::kOk) {
    error = "cannot read " + path + ": " + error;
    return false;
  }
  std::string line;
  if (!lines.Next(line) || !lines.Next(line)) {
    error = path + " is not a search-results file";
    return false;
  }
  list.ReplaceColumns(app::ParseColumnLine(line));
  while (lines.Next(line)) {
    app::RowLine row;
    if (line.empty() || !app::ParseRowLine(line, row) || row.cells.empty()) continue;
    const size_t index = list.RowCount();
    list.InsertRow(index, row.cells[0], 0);
    for (size_t c = 1; c < row.cells.size(); ++c) list.SetCell(index, c, row.cells[c]);
    list.SetDataWord(index, row.dataWord);
  }
  return true;
}

struct Session {
  volume::DriveTable drives;
  volume::ScanState state;
  app::ResultList list;
  CliMessages messages{std::cerr};
  TerminalSink sink = StderrSink();
  std::vector<std::unique_ptr<TerminalProgressView>> views;
  platform::QtShellInfo shell;
};

app::CommandContext Context(Session& s, int32_t index, const volume::SearchOptions& options) {
  app::CommandContext c(s.state, s.list, s.messages);
  c.options = options;
  s.state.shell = &s.shell;
  c.volume.drives = &s.drives;
  c.volume.selectedIndex = index;
  c.volume.filterText = options.filter;
  c.newProgress = [&s]() -> std::unique_ptr<Progress> {
    s.views.push_back(std::make_unique<TerminalProgressView>(s.sink));
    TerminalProgressView* view = s.views.back().get();
    s.messages.SetBeforeWrite([view] { view->ClearLine(); });
    return std::make_unique<app::ProgressModel>(*view);
  };
  return c;
}

}  // namespace

bool ParseRowList(const std::string& text, std::vector<size_t>& rows) {
  rows.clear();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    const size_t dash = part.find('-');
    uint64_t first = 0, last = 0;
    if (!ParseNumber(part.substr(0, dash), first) ||
        !ParseNumber(dash == std::string::npos ? part : part.substr(dash + 1), last) || first == 0 ||
        last < first || last - first > 10'000'000)
      return false;
    for (uint64_t r = first; r <= last; ++r) rows.push_back(static_cast<size_t>(r - 1));
    start = comma + 1;
  }
  return !rows.empty();
}

int RunRestore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  SourceArgs source;
  std::string error, resultsPath, rowList;
  app::RestoreRequest request;
  volume::SearchOptions options;
  if (!ParseSourceArgs(args, source, error)) return Usage(err, error);
  const auto& rest = source.rest;
  for (size_t i = 0; i < rest.size(); ++i) {
    const bool hasValue = i + 1 < rest.size();
    uint64_t record = 0;
    if (rest[i] == "--to" && hasValue) request.destination = rest[++i];
    else if (rest[i] == "--results" && hasValue) resultsPath = rest[++i];
    else if (rest[i] == "--rows" && hasValue) rowList = rest[++i];
    else if (rest[i] == "--folder" && hasValue && ParseNumber(rest[i + 1], record) && record <= UINT32_MAX) {
      request.ntfsFolder = static_cast<uint32_t>(record);
      ++i;
    } else if (rest[i] == "--filter" && hasValue) options.filter = rest[++i];
    else if (rest[i] == "--in-use") options.inUse = true;
    else if (rest[i] == "--zero-size") options.zeroSize = true;
    else if (rest[i] == "--no-analyse") options.analyse = false;
    else return Usage(err, "restore: unknown or incomplete option '" + rest[i] + "'");
  }
  if (request.destination.empty()) return Usage(err, "restore: --to DIR is required");
  if (!rowList.empty() && (resultsPath.empty() || !ParseRowList(rowList, request.rowIndices)))
    return Usage(err, "restore: --rows needs --results and a list such as 1,4-9");

  Session s;
  const int32_t index = SourceDriveTable(source, s.drives, error);
  if (index < 0) {
    err << "vellum-cli: " << error << '\n';
    return kExitError;
  }
  app::ResultList rows;
  if (!resultsPath.empty()) {
    if (!LoadRows(resultsPath, rows, error)) {
      err << "vellum-cli: " << error << '\n';
      return kExitError;
    }
    request.rows = &rows;
    // A copy or a renamed image is as good as the original: say so, go on.
    const std::string listRoot = rows.RowCount() ? app::RootTextOfFolder(rows.Cell(0, 1)) : std::string();
    const std::string& sourceRoot = s.drives.entries[static_cast<size_t>(index)].rootText;
    if (!listRoot.empty() && listRoot != sourceRoot)
      err << "一覧のボリューム名 " << listRoot << " は復元元の " << sourceRoot << " と違います。" << sourceRoot
          << " の行として復元します。\n";
    for (size_t r : request.rowIndices)
      if (r >= rows.RowCount())
        return Usage(err, "restore: --rows " + std::to_string(r + 1) + " is not in " + resultsPath + ", which has " +
                              std::to_string(rows.RowCount()) + " rows");
  }
  InterruptGuard interrupt;
  app::CommandContext context = Context(s, index, options);
  app::RestoreSummary summary;
  if (app::OnRestore(context, request, summary) != 1) return kExitError;
  s.messages.SetBeforeWrite({});
  out << app::SummaryText(summary) << '\n';
  if (summary.cancelled || InterruptGuard::Interrupted()) return kExitInterrupted;
  return summary.outcomes.AllIntact() ? 0 : kExitIncomplete;
}

int RunWipe(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  SourceArgs source;
  std::string error;
  if (!ParseSourceArgs(args, source, error)) return Usage(err, error);
  bool yes = false;
  for (const std::string& a : source.rest) {
    if (a == "--yes") yes = true;
    else return Usage(err, "wipe: unknown option '" + a + "'");
  }
  Session s;
  const int32_t index = SourceDriveTable(source, s.drives, error);
  if (index < 0) {
    err << "vellum-cli: " << error << '\n';
    return kExitError;
  }
  if (yes) s.messages.Preset(app::kWipeQuestion, MessageAnswer::Yes);
  InterruptGuard interrupt;
  app::CommandContext context = Context(s, index, {});
  return app::OnCompleteDeletion(context) == 1 ? 0 : kExitError;
}

}  // namespace vellum::cli
