// Code page 932 through the system's own tables (MultiByteToWideChar), the
// mapping the volumes' short names were written with.
#include <windows.h>

#include "platform/codepage.h"
#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

constexpr UINT kCp932 = 932;

// One character of code page 932 bytes at `i`: its length (1 or 2).
size_t CharacterLength(std::string_view bytes, size_t i) {
  return IsCp932LeadByte(static_cast<uint8_t>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
}

bool DecodeAll(std::string_view bytes, std::wstring& out) {
  out.clear();
  if (bytes.empty()) return true;
  const int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return true;
}

}  // namespace

bool Cp932ToUtf8(std::string_view bytes, std::string& out) {
  std::wstring wide;
  if (DecodeAll(bytes, wide)) {
    out = win32::Utf8(wide);
    return true;
  }
  // As far as it converts, character by character, like a converter that
  // stops at the first byte sequence without a mapping.
  out.clear();
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = CharacterLength(bytes, i);
    if (!DecodeAll(bytes.substr(i, n), wide)) return false;
    out += win32::Utf8(wide);
    i += n;
  }
  return false;
}

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
  out.clear();
  if (utf8.empty()) return true;
  if (!IsValidUtf8(utf8)) return false;
  const std::wstring wide = win32::Wide(utf8);
  // Character by character, so that the conversion stops where a character
  // has no code page 932 form (no best-fit substitutes).
  for (size_t i = 0; i < wide.size();) {
    const size_t n = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
    char buffer[8];
    BOOL usedDefault = FALSE;
    const int m = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data() + i, static_cast<int>(n), buffer,
                                      sizeof buffer, nullptr, &usedDefault);
    if (m <= 0 || usedDefault) return false;
    out.append(buffer, static_cast<size_t>(m));
    i += n;
  }
  return true;
}

}  // namespace vellum::platform
