// Text conversions. Inside the program all text is UTF-8; names arrive from
// the disk as UTF-16 (long names, exFAT, NTFS) or as code page 932 bytes (8.3
// short names), and length limits are counted as code page 932 would count them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vellum::platform {

// UTF-16 code units to UTF-8. False when the units hold an unpaired surrogate,
// i.e. the name does not survive the round trip; `out` then holds U+FFFD in
// its place.
bool Utf16ToUtf8(std::span<const uint16_t> units, std::string& out);

// Code page 932 bytes to UTF-8. False when a byte sequence has no mapping.
bool Cp932ToUtf8(std::string_view bytes, std::string& out);
// UTF-8 to code page 932. False when a character has no code page 932 form.
bool Utf8ToCp932(std::string_view utf8, std::string& out);

// A code page 932 lead byte: the first byte of a double-byte character.
constexpr bool IsCp932LeadByte(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The length the text would have in code page 932: 1 byte for ASCII and
// half-width katakana, 2 for every other character.
size_t Cp932Length(std::string_view utf8);

bool IsValidUtf8(std::string_view text);

// Upper-cases ASCII a-z only, as code page 932's upper-casing does; UTF-8
// multibyte sequences are never touched.
std::string UpperAscii(std::string_view text);

}  // namespace vellum::platform
