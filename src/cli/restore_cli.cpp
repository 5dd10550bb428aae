#include "cli/restore_cli.h"

#include <iostream>

#include "app/progress_model.h"
#include "app/restore_command.h"
#include "app/results_file.h"
#include "app/wipe_command.h"
#include "app/write_guard.h"
#include "cli/args.h"
#include "cli/cli_messages.h"
#include "cli/restore_report.h"
#include "platform/file_system.h"
#include "cli/source_args.h"
#include "cli/source_drive.h"
#include "cli/terminal_progress.h"
#include "platform/shell_info.h"

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
  std::unique_ptr<ShellInfo> shell = platform::MakeSystemShellInfo();
};

app::CommandContext Context(Session& s, int32_t index, const volume::SearchOptions& options) {
  app::CommandContext c(s.state, s.list, s.messages);
  c.options = options;
  s.state.shell = s.shell.get();
  c.volume.drives = &s.drives;
  c.volume.selectedIndex = index;
  c.volume.filterText = options.filter;
  c.newProgress = [&s]() -> std::unique_ptr<Progress> {
    s.views.push_back(std::make_unique<TerminalProgressView>(s.sink));
    TerminalProgressView* view = s.views.back().get();
    view->SetUnitBytes(UnitBytesOf(s.state));
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

namespace {

struct RestoreArgs {
  SourceArgs source;
  app::RestoreRequest request;
  volume::SearchOptions options;
  std::string resultsPath, reportPath;
  ReportFormat reportFormat = ReportFormat::kTsv;
  bool help = false;
};

bool ParseRestoreArgs(const std::vector<std::string>& args, RestoreArgs& a, std::string& error) {
  ParsedArgs parsed;
  if (!ParseArgs(*FindCommand("restore"), args, parsed, error)) return false;
  if ((a.help = parsed.help)) return true;
  if (!SourceOf(parsed, a.source, error)) return false;
  a.request.destination = parsed.Value("--to").value_or("");
  if (a.request.destination.empty()) return error = "restore: --to DIR is required", false;
  a.resultsPath = parsed.Value("--results").value_or("");
  a.request.force = parsed.Has("--force");
  a.reportPath = parsed.Value("--report").value_or("");
  if (const auto rows = parsed.Value("--rows"))
    if (a.resultsPath.empty() || !ParseRowList(*rows, a.request.rowIndices))
      return error = "restore: --rows needs --results and a list such as 1,4-9, not '" + *rows + "'", false;
  if (const auto folder = parsed.Value("--folder")) {
    uint64_t record = 0;
    if (!ParseNumber(*folder, record) || record > UINT32_MAX)
      return error = "restore: --folder needs a record number, not '" + *folder + "'", false;
    a.request.ntfsFolder = static_cast<uint32_t>(record);
  }
  if (const auto format = parsed.Value("--format")) {
    if (*format != "tsv" && *format != "json")
      return error = "restore: --format must be tsv or json, not '" + *format + "'", false;
    a.reportFormat = *format == "json" ? ReportFormat::kJson : ReportFormat::kTsv;
  }
  a.options.filter = parsed.Value("--filter").value_or("");
  a.options.inUse = parsed.Has("--in-use");
  a.options.zeroSize = parsed.Has("--zero-size");
  a.options.analyse = !parsed.Has("--no-analyse");
  a.options.thorough = parsed.Has("--thorough");
  return true;
}

bool WriteReport(const std::string& path, const std::string& text, const app::WriteGuard& guard, std::ostream& err) {
  std::string error;
  if (guard.WriteWholeFile(path, text, error)) return true;
  err << "vellum-cli: cannot write the report " << path << ": " << error << '\n';
  return false;
}

}  // namespace

int RunRestore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RestoreArgs a;
  std::string error;
  if (!ParseRestoreArgs(args, a, error)) return Usage(err, error + "\n(vellum-cli help restore)");
  if (a.help) {
    out << HelpText(*FindCommand("restore"));
    return 0;
  }
  SourceArgs& source = a.source;
  app::RestoreRequest& request = a.request;
  const volume::SearchOptions& options = a.options;
  const std::string& resultsPath = a.resultsPath;
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
  // The report is written beside the restored files, never onto the source
  // nor anywhere on its drive: not onto any piece or segment of it either.
  const app::WriteGuard guard = app::GuardFor(s.drives.entries[static_cast<size_t>(index)]);
  if (!a.reportPath.empty() && !guard.MayWrite(a.reportPath, app::WriteKind::kRestoreReport, s.messages))
    return kExitError;
  if (app::OnRestore(context, request, summary) != 1) {
    if (s.state.fsKind == volume::kNtfs && !request.rows && request.ntfsFolder == 0)
      err << "vellum-cli: give --folder RECORD (the record number a search lists for the deleted folder), "
             "or --results FILE\n";
    return kExitError;
  }
  s.messages.SetBeforeWrite({});
  out << app::SummaryText(summary) << '\n';
  if (!a.reportPath.empty() &&
      !WriteReport(a.reportPath, FormatRestoreReport(summary.outcomes, a.reportFormat), guard, err))
    return kExitError;
  if (summary.cancelled || InterruptGuard::Interrupted()) return kExitInterrupted;
  return summary.outcomes.AllIntact() ? 0 : kExitIncomplete;
}

int RunWipe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ParsedArgs parsed;
  SourceArgs source;
  std::string error;
  if (!ParseArgs(*FindCommand("wipe"), args, parsed, error)) return Usage(err, error + "\n(vellum-cli help wipe)");
  if (parsed.help) {
    out << HelpText(*FindCommand("wipe"));
    return 0;
  }
  if (!SourceOf(parsed, source, error)) return Usage(err, error);
  Session s;
  const int32_t index = SourceDriveTable(source, s.drives, error);
  if (index < 0) {
    err << "vellum-cli: " << error << '\n';
    return kExitError;
  }
  const std::string question = app::WipeQuestion(&s.drives.entries[static_cast<size_t>(index)]);
  if (parsed.Has("--yes")) s.messages.Preset(question, MessageAnswer::Yes);
  else if (InteractiveTerminal()) s.messages.AskOn(&std::cin);
  // Answered by its flag alone: the free-space pass is never started by a key pressed in haste.
  s.messages.Preset(app::kWipeFreeSpaceQuestion, parsed.Has("--free-space") ? MessageAnswer::Yes : MessageAnswer::No);
  InterruptGuard interrupt;
  volume::SearchOptions options;
  options.thorough = parsed.Has("--thorough");
  app::CommandContext context = Context(s, index, options);
  app::WipeSummary summary;
  if (app::OnCompleteDeletion(context, &summary) == 1) return 0;
  if (summary.cancelled) return kExitInterrupted;
  if (s.messages.Unasked(question)) {
    err << "vellum-cli: nothing was written: give --yes to answer the question Yes\n";
    return kExitUsage;
  }
  return kExitError;
}

}  // namespace vellum::cli
