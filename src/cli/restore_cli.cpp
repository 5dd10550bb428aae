#include "cli/restore_cli.h"

#include <iostream>
#include <optional>

#include "app/ntfs_folder_choice.h"
#include "app/progress_model.h"
#include "app/restore_command.h"
#include "app/results_file.h"
#include "app/wipe_command.h"
#include "app/write_guard.h"
#include "cli/args.h"
#include "cli/cli_messages.h"
#include "cli/info_command.h"
#include "cli/map_arg.h"
#include "cli/restore_report.h"
#include "platform/file_system.h"
#include "cli/source_args.h"
#include "cli/source_drive.h"
#include "cli/terminal_progress.h"
#include "platform/shell_info.h"
#include "restore/restore_output.h"

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
    error = path + " を読み込めません: " + error;
    return false;
  }
  // Refused before anything is made: a file that is not a list would give
  // a row of "unsupported" for every line of it.
  error = lines.Problem(path);
  if (!error.empty()) return false;
  // Restoring the first rows alone would leave the others unsaid: the file
  // is refused before a row is made.
  if (lines.RowLineCount() > app::kMaxResultRows) {
    error = app::TooManyRowsMessage(path, lines.RowLineCount()) + "ファイルを分けて復元してください。";
    return false;
  }
  std::string line;
  lines.Next(line);
  lines.Next(line);
  list.ReplaceColumns(app::ParseColumnLine(line));
  app::RowLine row;
  while (lines.Next(line) && list.RowCount() < app::kMaxResultRows) {
    if (line.empty() || !app::ParseRowLine(line, row) || row.cells.empty()) continue;
    const size_t index = list.RowCount();
    list.InsertRow(index, app::UnescapeNameCell(row.cells[0]), 0);
    // A list saved on the other system takes this one's root text and separators.
    for (size_t c = 1; c < row.cells.size(); ++c)
      list.SetCell(index, c,
                   c == 1 ? app::FolderCellForSystem(app::UnescapeNameCell(row.cells[1])) : std::string(row.cells[c]));
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
  app::LegacyPath legacy;  // with --bios-disk
};

app::CommandContext Context(Session& s, int32_t index, const volume::SearchOptions& options) {
  app::CommandContext c(s.state, s.list, s.messages);
  NameSourceInVolumeMessages(s.messages, s.drives.entries[static_cast<size_t>(index)].sourcePath);
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
  std::string resultsPath, reportPath, mapPath;
  ReportFormat reportFormat = ReportFormat::kTsv;
  bool help = false;
};

bool ParseRestoreArgs(const std::vector<std::string>& args, RestoreArgs& a, std::string& error) {
  ParsedArgs parsed;
  if (!ParseArgs(*FindCommand("restore"), args, parsed, error)) return false;
  if ((a.help = parsed.help)) return true;
  if (!SourceOf(parsed, a.source, error)) return false;
  a.request.destination = parsed.Value("--to").value_or("");
  if (a.request.destination.empty()) return error = "restore: --to DIR で復元先のフォルダを指定してください。", false;
  a.resultsPath = parsed.Value("--results").value_or("");
  a.request.force = parsed.Has("--force");
  a.request.intactOnly = parsed.Has("--intact-only");
  a.request.verifiedOnly = parsed.Has("--verified-only");
  if (a.request.verifiedOnly && a.resultsPath.empty())
    return error = "restore: --verified-only は --results と一緒に指定してください。", false;
  a.request.originalNames = parsed.Has("--original-names");
  if (a.request.originalNames && a.resultsPath.empty())
    return error = "restore: --original-names は --results と一緒に指定してください。", false;
  if (a.request.intactOnly && a.resultsPath.empty())
    return error = "restore: --intact-only は --results と一緒に指定してください。", false;
  a.reportPath = parsed.Value("--report").value_or("");
  a.mapPath = parsed.Value("--map").value_or("");
  if (const auto rows = parsed.Value("--rows"))
    if (a.resultsPath.empty() || !ParseRowList(*rows, a.request.rowIndices))
      return error = "restore: --rows は --results と一緒に、1,4-9 のような行番号で指定してください: '" + *rows + "'",
             false;
  if (const auto folder = parsed.Value("--folder")) {
    uint64_t record = 0;
    if (!ParseNumber(*folder, record) || record > UINT32_MAX)
      return error = "restore: --folder には削除フォルダのファイル番号を指定してください: '" + *folder + "'", false;
    a.request.ntfsFolder = static_cast<uint32_t>(record);
  }
  if (const auto format = parsed.Value("--format")) {
    if (*format != "tsv" && *format != "json")
      return error = "restore: --format には tsv か json を指定してください: '" + *format + "'", false;
    a.reportFormat = *format == "json" ? ReportFormat::kJson : ReportFormat::kTsv;
  }
  a.options.filter = parsed.Value("--filter").value_or("");
  a.options.inUse = parsed.Has("--in-use");
  a.options.zeroSize = parsed.Has("--zero-size");
  a.options.analyse = !parsed.Has("--no-analyse");
  a.options.thorough = parsed.Has("--thorough");
  return true;
}

// `--folder RECORD` names a deleted NTFS folder; its contents go below DIR
// in the folder's own path, as the rows of a results file do. 0 to go on,
// else the exit status after the reason was said.
int PlaceFolderBelowDestination(const SourceArgs& source, app::RestoreRequest& request, std::ostream& err) {
  volume::ScanState state;
  std::string error;
  if (!OpenSourceVolume(source.source, source.partition, state, error)) {
    err << "vellum-cli: " << error << '\n';
    return kExitError;
  }
  if (state.fsKind != volume::kNtfs) {
    err << "vellum-cli: " << source.source << " は " << volume::FsKindName(state.fsKind)
              << " のドライブです。--folder は NTFS のドライブでだけ使えます。"
                 "--folder を付けずに全ての削除ファイルを復元するか、--results と --rows で選んでください。\n";
    return kExitUsage;
  }
  const app::NtfsFolderChoice choice = app::CheckNtfsFolderChoice(state, request.ntfsFolder);
  if (!choice.ok) {
    err << "vellum-cli: " << source.source << ": " << choice.error << '\n';
    return kExitUsage;
  }
  request.destinationRoot = request.destination;
  request.destination += (request.destination.ends_with('/') ? "" : "/") + choice.relativePath;
  return 0;
}

bool WriteReport(const std::string& path, const restore::Outcomes& outcomes, ReportFormat format,
                 const app::WriteGuard& guard, std::ostream& err) {
  std::string error;
  const auto produce = [&](const app::WriteGuard::PieceWriter& piece) {
    EachRestoreReportLine(outcomes, format, piece);
  };
  if (guard.WriteFileInPieces(path, produce, error)) return true;
  err << "vellum-cli: レポート " << path << " に書き込めません: " << error << '\n';
  return false;
}

// The rows of --results for the request, the volume they were listed on
// checked against `sourceRoot`; or the status to end with.
std::optional<int> LoadListedRows(RestoreArgs& a, const std::string& sourceRoot, app::ResultList& rows,
                                  std::ostream& err) {
  std::string error;
  if (!LoadRows(a.resultsPath, rows, error)) {
    err << "vellum-cli: " << error << '\n';
    return kExitError;
  }
  a.request.rows = &rows;
  // A copy or a renamed image is as good as the original: say so, go on.
  const std::string listRoot = rows.RowCount() ? app::RootTextOfFolder(rows.Cell(0, 1)) : std::string();
  if (!listRoot.empty() && listRoot != sourceRoot)
    err << "一覧のボリューム名 " << listRoot << " は復元元の " << sourceRoot << " と違います。" << sourceRoot
        << " の行として復元します。\n";
  for (size_t r : a.request.rowIndices)
    if (r >= rows.RowCount())
      return Usage(err, "restore: --rows の " + std::to_string(r + 1) + " 行目は " + a.resultsPath + " にありません (1-" +
                            std::to_string(rows.RowCount()) + " 行)。");
  return std::nullopt;
}

}  // namespace

int RunRestore(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RestoreArgs a;
  std::string error;
  if (!ParseRestoreArgs(args, a, error)) return Usage(err, error + "\n（使い方: vellum-cli help restore）");
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
    return SourceFailureStatus(index);
  }
  if (const int status = TakeLegacyPath(source, s.drives, s.state, s.legacy, false, err); status != 0) return status;
  app::ResultList rows;
  if (!resultsPath.empty())
    if (const auto status = LoadListedRows(a, s.drives.entries[static_cast<size_t>(index)].rootText, rows, err))
      return *status;
  if (request.ntfsFolder != 0 && resultsPath.empty()) {
    const int status = PlaceFolderBelowDestination(source, request, err);
    if (status != 0) return status;
  }
  std::vector<volume::ByteRange> unrescued;
  if (!a.mapPath.empty())
    if (const int status =
            LoadMapFile(a.mapPath, s.drives.entries[static_cast<size_t>(index)].sourcePath, unrescued, err);
        status != 0)
      return status;
  InterruptGuard interrupt;
  app::CommandContext context = Context(s, index, options);
  context.volume.unreadableAreas = std::move(unrescued);
  // The summary names every item that failed or was too long: said per
  // block as well, they would bury it.
  s.messages.LeaveToSummary(ntfs::kWriteFailedMessage);
  s.messages.LeaveToSummary(restore::kPathTooLongMessage);
  app::RestoreSummary summary;
  // The report is written beside the restored files, never onto the source
  // nor anywhere on its drive: not onto any piece or segment of it either.
  const app::WriteGuard guard = app::GuardFor(s.drives.entries[static_cast<size_t>(index)]);
  if (!a.reportPath.empty() && !guard.MayWrite(a.reportPath, app::WriteKind::kRestoreReport, s.messages))
    return kExitError;
  if (app::OnRestore(context, request, summary) != 1) {
    if (s.state.fsKind == volume::kNtfs && !request.rows && request.ntfsFolder == 0)
      err << "vellum-cli: " << source.source
          << " は NTFS のドライブです。--folder RECORD (検索結果で削除フォルダに表示されるファイル番号) か "
             "--results FILE を指定してください。\n";
    return kExitError;
  }
  s.messages.SetBeforeWrite({});
  app::WriteSummary(out, summary);
  out << '\n';
  if (!a.reportPath.empty() &&
      !WriteReport(a.reportPath, summary.outcomes, a.reportFormat, guard, err))
    return kExitError;
  if (summary.cancelled || InterruptGuard::Interrupted()) return InterruptGuard::ExitStatus();
  return summary.outcomes.AllIntact() ? 0 : kExitIncomplete;
}

int RunWipe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ParsedArgs parsed;
  SourceArgs source;
  std::string error;
  if (!ParseArgs(*FindCommand("wipe"), args, parsed, error)) return Usage(err, error + "\n（使い方: vellum-cli help wipe）");
  if (parsed.help) {
    out << HelpText(*FindCommand("wipe"));
    return 0;
  }
  if (!SourceOf(parsed, source, error)) return Usage(err, error);
  Session s;
  const int32_t index = SourceDriveTable(source, s.drives, error);
  if (index < 0) {
    err << "vellum-cli: " << error << '\n';
    return SourceFailureStatus(index);
  }
  if (const int status = TakeLegacyPath(source, s.drives, s.state, s.legacy, true, err); status != 0) return status;
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
  if (summary.cancelled) return InterruptGuard::ExitStatus();
  if (s.messages.Unasked(question)) {
    err << "vellum-cli: 何も書き込みませんでした。質問に Yes と答えるには --yes を指定してください。\n";
    return kExitUsage;
  }
  return kExitError;
}

}  // namespace vellum::cli
