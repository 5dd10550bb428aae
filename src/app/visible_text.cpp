#include "app/visible_text.h"

namespace vellum::app {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the UTF-8 sequence at text[i]; 0 when there is none.
size_t SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  const size_t length = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  if (length == 2 && b0 < 0xC2) return 0;                                  // overlong
  if (length == 3 && b0 == 0xE0 && byte(i + 1) < 0xA0) return 0;          // overlong
  if (length == 3 && b0 == 0xED && byte(i + 1) >= 0xA0) return 0;         // a surrogate
  if (length == 4 && (b0 > 0xF4 || (b0 == 0xF0 && byte(i + 1) < 0x90) || (b0 == 0xF4 && byte(i + 1) >= 0x90)))
    return 0;
  return length;
}

}  // namespace

std::string VisibleText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const size_t length = SequenceLength(text, i);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 0x20) (out += '^') += static_cast<char>(c + 0x40);
    else if (c == 0x7F) out += "^?";
    else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) out += kReplacement;  // U+0080-U+009F
    else out.append(text.substr(i, length));
    i += length;
  }
  return out;
}

}  // namespace vellum::app
