#include "platform/codepage.h"

#include <vector>

namespace vellum::platform {

namespace {

// Writes the UTF-8 bytes of cp at `at`; returns the end of them.
char* PutUtf8(char* at, uint32_t cp) {
  if (cp < 0x80) {
    *at++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *at++ = static_cast<char>(0xC0 | (cp >> 6));
    *at++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *at++ = static_cast<char>(0xE0 | (cp >> 12));
    *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *at++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *at++ = static_cast<char>(0xF0 | (cp >> 18));
    *at++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *at++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *at++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return at;
}

// Decodes one UTF-8 character at `i`; returns its length, 0 when malformed.
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t c = b(i);
  size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  cp = len == 1 ? c : c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

bool Utf16ToUtf8(std::span<const uint16_t> units, std::string& out) {
  // A unit gives at most three bytes, a surrogate pair four.
  out.resize(units.size() * 3);
  char* at = out.data();
  bool ok = true;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
      ok = false;
    }
    at = PutUtf8(at, cp);
  }
  out.resize(static_cast<size_t>(at - out.data()));
  return ok;
}

size_t Cp932Length(std::string_view utf8) {
  size_t length = 0;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0;
    const size_t n = DecodeUtf8(utf8, i, cp);
    if (n == 0) {  // a stray byte counts as one, as it would in a byte string
      ++length;
      ++i;
      continue;
    }
    length += (cp < 0x80 || (cp >= 0xFF61 && cp <= 0xFF9F)) ? 1 : 2;
    i += n;
  }
  return length;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    const size_t n = DecodeUtf8(text, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace vellum::platform
