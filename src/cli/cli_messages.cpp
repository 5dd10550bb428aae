#include "cli/cli_messages.h"

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

MessageAnswer CliMessages::Show(std::string_view text, MessageButtons buttons, MessageIcon,
                                MessageAnswer defaultAnswer) {
  MessageAnswer answer = UnpresetAnswer(buttons, defaultAnswer);
  if (const auto preset = presets_.find(std::string(text)); preset != presets_.end()) {
    answer = preset->second;
  }
  if (beforeWrite_) beforeWrite_();
  err_ << "vellum-cli: " << text;
  if (buttons != MessageButtons::Ok) err_ << " [" << AnswerName(answer) << "]";
  err_ << '\n' << std::flush;
  return answer;
}

void PresetScanAnswers(CliMessages& messages, bool freeScan, bool yes) {
  messages.Preset(kFreeScanQuestion, freeScan ? MessageAnswer::Yes : MessageAnswer::No);
  messages.Preset(kFullScanQuestion, yes ? MessageAnswer::Yes : MessageAnswer::No);
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
