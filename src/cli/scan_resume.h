// What an interrupted cluster scan leaves a person to go on with: the last
// cluster it finished and the command line that scans the rest.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "volume/seams.h"

namespace vellum::cli {

// The progress of a command, passed through unchanged, remembering how far
// the cluster phase of a scan got.
class ScanPositionProgress : public Progress {
 public:
  explicit ScanPositionProgress(std::unique_ptr<Progress> inner, std::optional<uint64_t>& lastDone,
                                bool& inClusterPhase)
      : inner_(std::move(inner)), lastDone_(lastDone), inClusterPhase_(inClusterPhase) {}

  int OpenProgress() override { return inner_->OpenProgress(); }
  void StartPhase(std::string_view caption, uint64_t total) override;
  void ShowFileLabel() override { inner_->ShowFileLabel(); }
  int Update(uint64_t current) override;
  int PumpAndCheckCancel() override { return inner_->PumpAndCheckCancel(); }
  void SetFileName(std::string_view name) override { inner_->SetFileName(name); }
  void CloseProgress() override { inner_->CloseProgress(); }

 private:
  std::unique_ptr<Progress> inner_;
  std::optional<uint64_t>& lastDone_;
  bool& inClusterPhase_;
};

// The scan's command line with everything but the range and the output the
// same: the words are quoted for a POSIX shell when they need it.
struct ScanCommandLine {
  std::string command;                 // "search" or "full-scan"
  std::string source;                  // as given, with "#N" for a partition
  std::vector<std::string> options;    // the listing options as given
  std::string format;                  // empty: not given
  std::string outputPath;              // empty or "-": standard output
};

// "found.tsv" -> "found-rest.tsv": the rest must not overwrite what the
// interrupted run wrote.
std::string RestOutputPath(const std::string& path);

// The line that scans clusters first..last: `--range first-last`, and `-o`
// with the rest's own file name.
std::string ResumeCommand(const ScanCommandLine& line, uint64_t first, uint64_t last);

// The words said after Ctrl+C stopped a cluster scan of first..last whose
// last finished cluster is lastDone (none when no step was finished).
std::string InterruptedScanText(const ScanCommandLine& line, uint64_t first, uint64_t last,
                                std::optional<uint64_t> lastDone);

}  // namespace vellum::cli
