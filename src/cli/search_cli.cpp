#include "cli/search_cli.h"

#include "app/search_outcome.h"

#include <iostream>
#include <optional>

#include "app/content_checks.h"
#include "app/read_damage_notes.h"
#include "app/row_state.h"
#include "app/same_content.h"
#include "app/progress_model.h"
#include "app/results_file.h"
#include "app/search_command.h"
#include "app/write_guard.h"
#include "cli/cli_cluster_range.h"
#include "cli/args.h"
#include "cli/cli_messages.h"
#include "cli/listing_format.h"
#include "cli/scan_resume.h"
#include "cli/source_args.h"
#include "cli/source_drive.h"
#include "cli/map_arg.h"
#include "fat/fat_entry.h"
#include "cli/terminal_progress.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/terminal.h"
#include "platform/shell_info.h"

namespace vellum::cli {

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

struct SearchArgs {
  SourceArgs source;
  volume::SearchOptions options;
  std::optional<bool> freeScan;  // --free-scan / --no-free-scan
  bool yes = false;
  std::optional<ClusterRangeFlag> range;
  std::string outputPath;
  std::optional<ListingFormat> format;
  std::string formatText;
  std::string mapPath;
  bool help = false;
};

bool ParseSearchArgs(const std::vector<std::string>& args, bool full, SearchArgs& out, std::string& error) {
  const CommandLine& command = *FindCommand(full ? "full-scan" : "search");
  ParsedArgs parsed;
  if (!ParseArgs(command, args, parsed, error)) return false;
  if ((out.help = parsed.help)) return true;
  if (!SourceOf(parsed, out.source, error)) return false;
  out.options.inUse = parsed.Has("--in-use");
  out.options.zeroSize = parsed.Has("--zero-size");
  out.options.analyse = !parsed.Has("--no-analyse");
  out.options.thorough = parsed.Has("--thorough");
  if (parsed.Has("--free-scan") && parsed.Has("--no-free-scan"))
    return error = "search: --free-scan と --no-free-scan は同時に指定できません。", false;
  if (parsed.Has("--free-scan")) out.freeScan = true;
  if (parsed.Has("--no-free-scan")) out.freeScan = false;
  out.yes = parsed.Has("--yes");
  // The filter box upper-cases what is typed, and so do we.
  if (const auto filter = parsed.Value("--filter")) out.options.filter = platform::UpperAscii(*filter);
  out.outputPath = parsed.Value("-o").value_or("");
  out.mapPath = parsed.Value("--map").value_or("");
  if (const auto range = parsed.Value("--range")) {
    // Only a cluster scan reads a range: one given to a search that does not scan is a mistake.
    if (!full && out.freeScan != true) return error = "search: --range は --free-scan と一緒に指定してください。", false;
    ClusterRangeFlag flag;
    if (!ParseClusterRangeFlag(*range, flag, error)) return false;
    out.range = flag;
  }
  if (const auto format = parsed.Value("--format")) {
    out.format = ParseListingFormat(*format);
    out.formatText = *format;
    if (!out.format)
      return error = command.name + ": --format には results、table、json、csv のいずれかを指定してください: '" + *format + "'",
             false;
  }
  return true;
}

// The form of the listing: as asked, else a table for a person at a
// terminal and the results file for files and pipes (what scripts read).
ListingFormat FormatFor(const SearchArgs& a) {
  if (a.format) return *a.format;
  const bool toTerminal = (a.outputPath.empty() || a.outputPath == "-") && platform::IsTerminal(platform::StandardStream::kOutput);
  return toTerminal ? ListingFormat::kTable : ListingFormat::kResults;
}

// A listing other than a results file, handed to `write` as it is made (a
// table only once every row is known, since its columns fit the widest
// cell). The forms for people and scripts say how recoverable each row is;
// the results file keeps the columns the window saves and loads.
void WriteListingText(volume::ScanState& state, const app::ResultList& list, ListingFormat format, ShellInfo* shell,
                      const app::TextPieces& write) {
  const RowNotes notes{app::RowStates(state, list), app::SameContentRows(state, list), app::ContentChecks(state, list),
                       app::RecycleBinNotes(state, list)};
  switch (format) {
    case ListingFormat::kTable: return write(FormatTable(list, TerminalColumns(), &notes));
    case ListingFormat::kJson: return WriteJsonLines(list, shell, &notes, write);
    case ListingFormat::kCsv: return WriteCsv(list, shell, &notes, write);
    case ListingFormat::kResults: break;
  }
}

// The listing written out as it is made, a piece at a time: a results file in
// the system's encoding in a file or a pipe (a console is written in
// characters, whatever its code page), JSON and CSV as UTF-8, a table whole.
bool WriteListing(volume::ScanState& state, const app::ResultList& list, ListingFormat format, ShellInfo* shell,
                  const std::string& path, const app::WriteGuard& guard, std::ostream& out, std::ostream& err) {
  const bool toStdout = path.empty() || path == "-";
  const bool toConsole = toStdout && platform::IsTerminal(platform::StandardStream::kOutput);
  const auto produce = [&](const app::TextPieces& write) {
    if (format != ListingFormat::kResults) return WriteListingText(state, list, format, shell, write);
    app::WriteResultsFileBytes(toConsole ? platform::PathStyle::kPosix : platform::kSystemPathStyle, list,
                               state.driveIndex, write);
  };
  if (toStdout) {
    produce([&out](std::string_view piece) { out << piece; });
    return static_cast<bool>(out.flush());
  }
  std::string error;
  if (!guard.WriteFileInPieces(path, produce, error)) {
    err << "vellum-cli: " << path << " に書き込めません: " << error << '\n';
    return false;
  }
  return true;
}

// The command line that scans the rest after an interruption: the same
// options, the question answered Yes by its flag.
ScanCommandLine ScanLineOf(const SearchArgs& a, bool full) {
  ScanCommandLine line;
  line.command = full ? "full-scan" : "search";
  line.source = a.source.source + (a.source.partition ? "#" + std::to_string(a.source.partition) : std::string());
  if (!a.options.filter.empty()) line.options.insert(line.options.end(), {"--filter", a.options.filter});
  if (a.options.inUse) line.options.push_back("--in-use");
  if (a.options.zeroSize) line.options.push_back("--zero-size");
  if (!a.options.analyse) line.options.push_back("--no-analyse");
  if (a.options.thorough) line.options.push_back("--thorough");
  line.options.push_back(full ? "--yes" : "--free-scan");
  line.format = a.formatText;
  line.outputPath = a.outputPath;
  return line;
}

// Reads the device failed (bad sectors, a damaged image) were taken as
// zeros: a folder behind them ends there, and so may the list. Said once,
// with the system's reason for the last of them.
void SayFailedReads(const SourceArgs& source, volume::ScanState& state, std::ostream& err) {
  if (state.failedReads == 0) {
    // A map's unrescued areas are known before any read meets them.
    for (const std::string& note : app::ReadDamageNotes(state)) err << "vellum-cli: " << note << '\n';
    return;
  }
  const std::string why = state.volumeHandle ? state.volumeHandle->LastError() : std::string();
  err << "vellum-cli: " << source.source << (source.partition ? "#" + std::to_string(source.partition) : "")
      << " の読み取りに " << state.failedReads << " 回失敗しました" << (why.empty() ? "" : "（" + why + "）")
      << "。読めなかったところは 0 として読んだため、その先のファイルやフォルダは一覧にないことがあります。\n";
  for (const std::string& note : app::ReadDamageNotes(state)) err << "vellum-cli: " << note << '\n';
}

// After Ctrl+C: what was stopped, how far it got and how to go on.
void SayInterrupted(const SearchArgs& a, bool full, const CliClusterRangeAsker& range,
                    const std::optional<uint64_t>& lastDone, bool inClusterPhase, std::ostream& err) {
  if (inClusterPhase && range.Chosen()) {
    err << "vellum-cli: "
        << InterruptedScanText(ScanLineOf(a, full), range.Chosen()->first, range.Chosen()->last, lastDone) << '\n';
    return;
  }
  err << "vellum-cli: 検索を中断しました。"
      << (a.outputPath.empty() || a.outputPath == "-" ? "見つかったものは出力しました。"
                                                       : "見つかったものは " + a.outputPath + " に書き出しました。")
      << '\n';
}

// The arguments read, or the status to end with: a usage error, or the help shown.
std::optional<int> ParseOrHelp(const std::vector<std::string>& args, bool full, SearchArgs& parsed,
                               std::ostream& out, std::ostream& err) {
  std::string error;
  if (!ParseSearchArgs(args, full, parsed, error)) {
    err << "vellum-cli: " << error << "\n（使い方: vellum-cli help " << (full ? "full-scan" : "search") << "）\n";
    return kExitUsage;
  }
  if (!parsed.help) return std::nullopt;
  out << HelpText(*FindCommand(full ? "full-scan" : "search"));
  return 0;
}

// The drive table with the source in it at `index`, and the ranges a map
// file says were never rescued; or the status to end with.
std::optional<int> PrepareSource(const SearchArgs& a, volume::DriveTable& drives, int32_t& index,
                                 std::vector<volume::ByteRange>& unrescued, std::ostream& err) {
  std::string error;
  index = SourceDriveTable(a.source, drives, error);
  if (index < 0) {
    err << "vellum-cli: " << error << '\n';
    return SourceFailureStatus(index);
  }
  if (a.mapPath.empty()) return std::nullopt;
  const int status = LoadMapFile(a.mapPath, drives.entries[static_cast<size_t>(index)].sourcePath, unrescued, err);
  return status != 0 ? std::optional<int>(status) : std::nullopt;
}

// The status to end with when a question went unanswered or the command did
// not list; none when it did.
std::optional<int> StatusAfterAnswers(bool full, int searched, const CliMessages& messages,
                                      const CliClusterRangeAsker& range, std::ostream& err) {
  if (full && searched != 1 && messages.Unasked(kFullScanQuestion)) {
    err << "vellum-cli: スキャンしませんでした。質問に Yes と答えるには --yes を指定してください。\n";
    return kExitUsage;
  }
  if (!full && messages.Unasked(kFreeScanQuestion))
    err << "vellum-cli: （答える人がいないため No としました。--free-scan が Yes、--no-free-scan が No の答えです）\n";
  if (range.Failed()) return kExitUsage;
  if (searched != 1) return kExitError;
  return std::nullopt;
}

// What the walk did not reach, and how to reach it.
void SayWhatWasLeft(const SearchArgs& a, bool full, volume::ScanState& state, std::ostream& err) {
  // The plain exFAT walk never enters a live folder, where a camera card keeps
  // everything: say how to reach those files.
  if (!full && !a.options.thorough && state.fsKind == volume::kExfat)
    err << "vellum-cli: exFAT では、ルートと削除されたフォルダだけを検索しました。--thorough を指定すると、"
           "削除されていないフォルダの中も検索します。\n";
  if (!full && app::FatFindsMoreThoroughly(state, a.options.thorough))
    err << "vellum-cli: 見つかりませんでした。--thorough を指定すると、空きクラスタの中のフォルダも読みます"
           " (フォーマットしたカードなど)。\n";
  if (const uint64_t deep = state.foldersTooDeep; deep > 0)
    err << "vellum-cli: パスが " << fat::kMaxNameBytes << " バイトを超えるため、フォルダ " << deep
        << " 個の中を検索しませんでした。\n";
  if (const uint64_t cut = state.truncatedStructures; cut > 0)
    err << "vellum-cli: ディスク上の構造 " << cut << " 個が途中で切れていたため、そこで読むのをやめました。\n";
  SayFailedReads(a.source, state, err);
}

}  // namespace

namespace {

// The search and the full cluster scan share everything but the command run
// and the question they answer.
int RunListingCommand(const std::vector<std::string>& args, bool full, std::ostream& out, std::ostream& err) {
  SearchArgs parsed;
  if (const auto status = ParseOrHelp(args, full, parsed, out, err)) return *status;
  volume::DriveTable drives;
  int32_t index = 0;
  std::vector<volume::ByteRange> unrescued;
  if (const auto status = PrepareSource(parsed, drives, index, unrescued, err)) return *status;

  InterruptGuard interrupt;
  TerminalSink sink = StderrSink();
  CliMessages messages(err);
  PresetScanAnswers(messages, parsed.freeScan, parsed.yes);
  NameSourceInVolumeMessages(messages, parsed.source.source);
  if (InteractiveTerminal()) messages.AskOn(&std::cin);
  const std::unique_ptr<ShellInfo> shell = platform::MakeSystemShellInfo();
  volume::ScanState state;
  state.shell = shell.get();
  app::LegacyPath legacy;
  if (const int status = TakeLegacyPath(parsed.source, drives, state, legacy, false, err); status != 0) return status;
  app::ResultList list;
  std::vector<std::unique_ptr<TerminalProgressView>> views;
  std::optional<uint64_t> lastDone;
  bool inClusterPhase = false;

  app::CommandContext context(state, list, messages);
  context.options = parsed.options;
  context.volume.drives = &drives;
  context.volume.selectedIndex = index;
  context.volume.filterText = parsed.options.filter;
  context.volume.unreadableAreas = std::move(unrescued);
  CliClusterRangeAsker rangeAsker(parsed.range, messages);
  context.rangeAsker = &rangeAsker;
  context.newProgress = [&]() -> std::unique_ptr<Progress> {
    views.push_back(std::make_unique<TerminalProgressView>(sink));
    TerminalProgressView* view = views.back().get();
    view->SetUnitBytes(UnitBytesOf(state));
    messages.SetBeforeWrite([view] { view->ClearLine(); });
    return std::make_unique<ScanPositionProgress>(std::make_unique<app::ProgressModel>(*view), lastDone,
                                                  inClusterPhase);
  };

  // Writing the results onto the volume being searched could overwrite the
  // clusters of the very files found; the question defaults to No.
  const app::WriteGuard guard = app::GuardFor(drives.entries[static_cast<size_t>(index)]);
  if (!parsed.outputPath.empty() && parsed.outputPath != "-" &&
      !guard.MayWrite(parsed.outputPath, app::WriteKind::kResultsFile, messages))
    return kExitError;

  const int searched = full ? app::OnFullClusterScan(context) : app::OnSearch(context);
  messages.SetBeforeWrite({});
  if (const auto status = StatusAfterAnswers(full, searched, messages, rangeAsker, err)) return *status;
  SayWhatWasLeft(parsed, full, state, err);
  const ListingFormat format = FormatFor(parsed);
  if (!WriteListing(state, list, format, shell.get(), parsed.outputPath, guard, out, err)) return kExitError;
  if (!InterruptGuard::Interrupted()) return 0;
  SayInterrupted(parsed, full, rangeAsker, lastDone, inClusterPhase, err);
  return InterruptGuard::ExitStatus();
}

}  // namespace

int RunSearch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunListingCommand(args, false, out, err);
}

int RunFullScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunListingCommand(args, true, out, err);
}

}  // namespace vellum::cli
