#include "volume/parse_number.h"

#include <limits>

namespace vellum::volume {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

uint64_t ParseUnsigned64(std::string_view text) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

}  // namespace vellum::volume
