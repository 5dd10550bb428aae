// Message boxes on a terminal: the text goes to standard error, and questions
// are answered by the command's flags, never by reading standard input, so a
// script can never hang on a question.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "app/search_command.h"
#include "volume/seams.h"

namespace vellum::cli {

using app::kFreeScanQuestion;
inline constexpr std::string_view kFullScanQuestion =
    "使用クラスタを含めて全てのクラスタ（FAT12、FAT16 "
    "のルートディレクトリはクラスタに含まれません。）をスキャンし、ファイル情報である可能性があるも"
    "のを全て表示します。\n削除されていないファイルも対象となります。\n\n処理を続けますか。";

class CliMessages : public Messages {
 public:
  explicit CliMessages(std::ostream& err) : err_(err) {}

  // The answer a flag gives to one question, matched by its exact text.
  void Preset(std::string_view question, MessageAnswer answer);
  // Questions without a preset answer are asked on the terminal, read from
  // `in` (y/N, the box's default on an empty line); without it they take
  // their defaults. Only for a person at a terminal: a script never waits.
  void AskOn(std::istream* in) { in_ = in; }
  // Whether a question was answered by its default for want of anyone to ask.
  bool Unasked(std::string_view question) const { return unasked_.count(std::string(question)) != 0; }
  // Called before a message is written, so a progress line can step aside.
  void SetBeforeWrite(std::function<void()> hook) { beforeWrite_ = std::move(hook); }
  // A text the command's summary names item by item afterwards: shown per
  // block it would bury the summary, so it is only counted.
  void LeaveToSummary(std::string_view text) { summarised_[std::string(text)] = 0; }
  uint32_t TimesLeftToSummary(std::string_view text) const;
  // The system's texts about a volume that do not name it ("... 以外のドライブ
  // は検索できません。"): written after the source's name, as every other
  // message about a source is.
  void NameSourceIn(std::string_view text, std::string source) { sourceNamed_[std::string(text)] = std::move(source); }

  // Writes "vellum-cli: TEXT"; a question that had no flag to answer it also
  // shows the answer it got (a flag's answer is the user's own: the question
  // is not repeated). The answer is the preset one, else the default, except
  // that Retry/Cancel boxes answer Cancel: nobody can insert a disk between
  // two retries. A note already written is not written again.
  MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override;

 private:
  std::ostream& err_;
  std::function<void()> beforeWrite_;
  std::unordered_map<std::string, MessageAnswer> presets_;
  std::istream* in_ = nullptr;
  std::unordered_map<std::string, bool> unasked_;
  std::unordered_map<std::string, uint32_t> summarised_;
  std::unordered_map<std::string, bool> written_;
  std::unordered_map<std::string, std::string> sourceNamed_;
};

// True when standard input and standard error are both terminals: a person
// is there to answer.
bool InteractiveTerminal();

// The presets of the search and full-scan commands: --free-scan answers the
// free-cluster question Yes and --no-free-scan No (neither: asked on a
// terminal, else No), --yes the full-scan question.
void PresetScanAnswers(CliMessages& messages, std::optional<bool> freeScan, bool yes);

// The opening's texts that say what is wrong with a volume without naming
// it, named with `source`.
void NameSourceInVolumeMessages(CliMessages& messages, const std::string& source);

const char* AnswerName(MessageAnswer answer);

}  // namespace vellum::cli
