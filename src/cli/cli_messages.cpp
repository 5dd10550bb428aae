#include "cli/cli_messages.h"

#include "app/open_volume.h"
#include "platform/terminal.h"

namespace vellum::cli {

namespace {

MessageAnswer UnpresetAnswer(MessageButtons buttons, MessageAnswer defaultAnswer) {
  switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo:
      return defaultAnswer == MessageAnswer::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    case MessageButtons::RetryCancel: return MessageAnswer::Cancel;
  }
  return defaultAnswer;
}

}  // namespace

void CliMessages::Preset(std::string_view question, MessageAnswer answer) {
  presets_[std::string(question)] = answer;
}

uint32_t CliMessages::TimesLeftToSummary(std::string_view text) const {
  const auto it = summarised_.find(std::string(text));
  return it == summarised_.end() ? 0 : it->second;
}

MessageAnswer CliMessages::Show(std::string_view text, MessageButtons buttons, MessageIcon,
                                MessageAnswer defaultAnswer) {
  MessageAnswer answer = UnpresetAnswer(buttons, defaultAnswer);
  const auto preset = presets_.find(std::string(text));
  if (preset != presets_.end()) return preset->second;
  if (const auto it = summarised_.find(std::string(text)); it != summarised_.end()) {
    ++it->second;
    return answer;
  }
  if (buttons == MessageButtons::Ok && !written_.emplace(std::string(text), true).second) return answer;
  if (beforeWrite_) beforeWrite_();
  err_ << "vellum-cli: ";
  if (const auto named = sourceNamed_.find(std::string(text)); named != sourceNamed_.end()) err_ << named->second << ": ";
  err_ << text;
  if (buttons == MessageButtons::YesNo && in_) {
    err_ << (defaultAnswer == MessageAnswer::Yes ? " [Y/n] " : " [y/N] ") << std::flush;
    std::string line;
    if (std::getline(*in_, line) && !line.empty())
      answer = (line[0] == 'y' || line[0] == 'Y') ? MessageAnswer::Yes : MessageAnswer::No;
    return answer;
  }
  if (buttons == MessageButtons::YesNo) unasked_[std::string(text)] = true;
  if (buttons != MessageButtons::Ok) err_ << " [" << AnswerName(answer) << "]";
  err_ << '\n' << std::flush;
  return answer;
}

void PresetScanAnswers(CliMessages& messages, std::optional<bool> freeScan, bool yes) {
  if (freeScan) messages.Preset(kFreeScanQuestion, *freeScan ? MessageAnswer::Yes : MessageAnswer::No);
  if (yes) messages.Preset(kFullScanQuestion, MessageAnswer::Yes);
}

void NameSourceInVolumeMessages(CliMessages& messages, const std::string& source) {
  for (const std::string_view text : {app::kUnsupportedDriveMessage, app::kUnformattedMessage, app::kOtherDiskMessage,
                                      app::kEmptyVolumeMessage})
    messages.NameSourceIn(text, source);
}

bool InteractiveTerminal() {
  return platform::IsTerminal(platform::StandardStream::kInput) && platform::IsTerminal(platform::StandardStream::kError);
}

const char* AnswerName(MessageAnswer answer) {
  switch (answer) {
    case MessageAnswer::Ok: return "OK";
    case MessageAnswer::Yes: return "Yes";
    case MessageAnswer::No: return "No";
    case MessageAnswer::Retry: return "Retry";
    case MessageAnswer::Cancel: return "Cancel";
  }
  return "?";
}

}  // namespace vellum::cli
