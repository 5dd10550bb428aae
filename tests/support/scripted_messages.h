// Message boxes answered from a script, remembering what was shown.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "volume/seams.h"

namespace vellum::testing {

class ScriptedMessages : public Messages {
 public:
  MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override {
    shown.emplace_back(text);
    lastButtons = buttons;
    lastIcon = icon;
    if (answers.empty()) return defaultAnswer;
    const MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
  }

  std::deque<MessageAnswer> answers;  // taken in order; the default answer after
  std::vector<std::string> shown;
  MessageButtons lastButtons = MessageButtons::Ok;
  MessageIcon lastIcon = MessageIcon::None;
};

}  // namespace vellum::testing
