#include "cli/search_cli.h"

#include <fstream>
#include <iostream>
#include <optional>

#include "app/progress_model.h"
#include "app/results_file.h"
#include "app/search_command.h"
#include "cli/cli_cluster_range.h"
#include "cli/cli_messages.h"
#include "cli/source_args.h"
#include "cli/source_drive.h"
#include "cli/terminal_progress.h"
#include "platform/codepage.h"
#include "platform/posix/device_identity.h"
#include "platform/qt/shell_info_qt.h"

namespace vellum::cli {

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

struct SearchArgs {
  SourceArgs source;
  volume::SearchOptions options;
  bool freeScan = false;
  bool yes = false;
  std::optional<ClusterRangeFlag> range;
  std::string outputPath;
};

bool ParseSearchArgs(const std::vector<std::string>& args, bool full, SearchArgs& out, std::string& error) {
  if (!ParseSourceArgs(args, out.source, error)) return false;
  const std::vector<std::string>& rest = out.source.rest;
  for (size_t i = 0; i < rest.size(); ++i) {
    const std::string& a = rest[i];
    const bool hasValue = i + 1 < rest.size();
    if (a == "--in-use") out.options.inUse = true;
    else if (a == "--zero-size") out.options.zeroSize = true;
    else if (a == "--no-analyse") out.options.analyse = false;
    else if (a == "--free-scan" && !full) out.freeScan = true;
    else if (a == "--yes" && full) out.yes = true;
    // The filter box upper-cases what is typed, and so do we.
    else if (a == "--filter" && hasValue) out.options.filter = platform::UpperAscii(rest[++i]);
    else if (a == "-o" && hasValue) out.outputPath = rest[++i];
    else if (a == "--range" && hasValue) {
      ClusterRangeFlag range;
      if (!ParseClusterRangeFlag(rest[++i], range, error)) return false;
      out.range = range;
    } else {
      error = std::string(full ? "full-scan" : "search") + ": unknown or incomplete option '" + a + "'";
      return false;
    }
  }
  return true;
}

bool WriteResults(const std::string& text, const std::string& path, std::ostream& out, std::ostream& err) {
  if (path.empty() || path == "-") {
    out << text;
    return static_cast<bool>(out.flush());
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  if (!file.flush()) {
    err << "vellum-cli: cannot write " << path << '\n';
    return false;
  }
  return true;
}

}  // namespace

namespace {

// The search and the full cluster scan share everything but the command run
// and the question they answer.
int RunListingCommand(const std::vector<std::string>& args, bool full, std::ostream& out, std::ostream& err) {
  SearchArgs parsed;
  std::string error;
  if (!ParseSearchArgs(args, full, parsed, error)) {
    err << "vellum-cli: " << error << '\n';
    return kExitUsage;
  }
  volume::DriveTable drives;
  const int32_t index = SourceDriveTable(parsed.source, drives, error);
  if (index < 0) {
    err << "vellum-cli: " << error << '\n';
    return kExitError;
  }

  InterruptGuard interrupt;
  TerminalSink sink = StderrSink();
  CliMessages messages(err);
  PresetScanAnswers(messages, parsed.freeScan, parsed.yes);
  platform::QtShellInfo shell;
  volume::ScanState state;
  state.shell = &shell;
  app::ResultList list;
  std::vector<std::unique_ptr<TerminalProgressView>> views;

  app::CommandContext context(state, list, messages);
  context.options = parsed.options;
  context.volume.drives = &drives;
  context.volume.selectedIndex = index;
  context.volume.filterText = parsed.options.filter;
  CliClusterRangeAsker rangeAsker(parsed.range, messages);
  context.rangeAsker = &rangeAsker;
  context.newProgress = [&]() -> std::unique_ptr<Progress> {
    views.push_back(std::make_unique<TerminalProgressView>(sink));
    TerminalProgressView* view = views.back().get();
    messages.SetBeforeWrite([view] { view->ClearLine(); });
    return std::make_unique<app::ProgressModel>(*view);
  };

  // Writing the results onto the volume being searched could overwrite the
  // clusters of the very files found; the question defaults to No.
  if (!parsed.outputPath.empty() && parsed.outputPath != "-") {
    const platform::SourceRelation relation = platform::RelationToSource(parsed.outputPath, {parsed.source.source});
    if (relation == platform::SourceRelation::kIsSource) {
      messages.Show(app::SaveOntoSourceMessage(parsed.outputPath, parsed.source.source), MessageButtons::Ok,
                    MessageIcon::Warning, MessageAnswer::Ok);
      return kExitError;
    }
    if (relation == platform::SourceRelation::kOnSourceDrive &&
        messages.Show(app::kSaveOnSourceQuestion, MessageButtons::YesNo, MessageIcon::None, MessageAnswer::No) !=
            MessageAnswer::Yes)
      return kExitError;
  }

  const int searched = full ? app::OnFullClusterScan(context) : app::OnSearch(context);
  messages.SetBeforeWrite({});
  if (searched != 1 || rangeAsker.Failed()) return kExitError;
  if (!WriteResults(app::FormatResultsText(list, state.driveIndex), parsed.outputPath, out, err))
    return kExitError;
  return InterruptGuard::Interrupted() ? kExitInterrupted : 0;
}

}  // namespace

int RunSearch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunListingCommand(args, false, out, err);
}

int RunFullScan(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunListingCommand(args, true, out, err);
}

}  // namespace vellum::cli
