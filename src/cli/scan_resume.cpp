#include "cli/scan_resume.h"

#include "app/progress_model.h"

namespace vellum::cli {

void ScanPositionProgress::StartPhase(std::string_view caption, uint64_t total) {
  inClusterPhase_ = caption == app::kClusterPhaseCaption;
  lastDone_.reset();
  inner_->StartPhase(caption, total);
}

int ScanPositionProgress::Update(uint64_t current) {
  const int goOn = inner_->Update(current);
  // A scan reports a cluster after reading it, but the step that saw the
  // Ctrl+C may have cut that cluster's analysis short: only a step that went
  // on counts as finished.
  if (goOn && inClusterPhase_) lastDone_ = current;
  return goOn;
}

namespace {

std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                              "_-+=.,/:@%#") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string RestOutputPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1);
  if (!hasExtension) return path + "-rest";
  return path.substr(0, dot) + "-rest" + path.substr(dot);
}

std::string ResumeCommand(const ScanCommandLine& line, uint64_t first, uint64_t last) {
  std::string text = "vellum-cli " + line.command + " " + ShellWord(line.source);
  for (const std::string& option : line.options) text += " " + ShellWord(option);
  text += " --range " + std::to_string(first) + "-" + std::to_string(last);
  if (!line.format.empty()) text += " --format " + ShellWord(line.format);
  if (!line.outputPath.empty() && line.outputPath != "-") text += " -o " + ShellWord(RestOutputPath(line.outputPath));
  return text;
}

std::string InterruptedScanText(const ScanCommandLine& line, uint64_t first, uint64_t last,
                                std::optional<uint64_t> lastDone) {
  std::string text = "クラスタのスキャンを中断しました。";
  if (lastDone && *lastDone >= last) return text + "最後のクラスタ " + std::to_string(last) + " までスキャンしました。";
  uint64_t next = first;
  if (lastDone && *lastDone >= first) {
    text += "クラスタ " + std::to_string(*lastDone) + " までスキャンしました。";
    next = *lastDone + 1;
  } else {
    text += "スキャンを終えたクラスタはありません。";
  }
  if (line.outputPath.empty() || line.outputPath == "-")
    text += "\n見つかったものは出力しました。";
  else
    text += "\n見つかったものは " + line.outputPath + " に書き出しました。";
  return text + "\n残りのクラスタ " + std::to_string(next) + "-" + std::to_string(last) + " をスキャンするには:\n  " +
         ResumeCommand(line, next, last);
}

}  // namespace vellum::cli
