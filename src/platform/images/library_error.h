// The format libraries report failures as an error object holding a chain of
// messages from the outermost call inwards. Each message ends with a
// function's name and a colon-separated text; the innermost one says what
// was actually wrong, so that is the one people get to see.
#pragma once

#include <cstdint>
#include <string>

namespace vellum::platform {

// The innermost message of `error` without the function name that prefixes
// it, after which `error` is freed and reset. Empty when there was none.
template <typename Error, typename Sprint, typename Free>
std::string TakeLibraryError(Error*& error, Sprint sprint, Free release) {
  if (error == nullptr) return {};
  char text[4096] = {};
  std::string message;
  if (sprint(error, text, sizeof text) > 0) message = text;
  release(&error);
  error = nullptr;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  if (const size_t line = message.rfind('\n'); line != std::string::npos) message.erase(0, line + 1);
  // "libewf_handle_open: unable to open file." -> "unable to open file"
  if (const size_t colon = message.find(": "); colon != std::string::npos &&
                                               message.find(' ') > colon)
    message.erase(0, colon + 2);
  return message;
}

}  // namespace vellum::platform
