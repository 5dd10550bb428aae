#include "fat/fat_entry.h"

#include <algorithm>
#include <array>

#include "platform/codepage.h"

namespace vellum::fat {

namespace {

// Offsets of the 13 UTF-16 units inside a long-name entry.
constexpr std::array<size_t, kUnitsPerSlot> kUnitOffsets = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

bool IsForbiddenChar(uint8_t c) {
  static constexpr std::string_view kForbidden = "\\/:*?<>|\"\n\t\r\a\b\f\v\x1A";
  return c != 0 && kForbidden.find(static_cast<char>(c)) != std::string_view::npos;
}

std::string TrimTrailingBlanks(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

}  // namespace

void LongNameSlots::Add(ByteView entry) {
  const uint8_t checksum = Le8(entry, 13);
  if (count_ > kLongNameSlots - 1)
    count_ = 0;
  else if (count_ > 0 && checksum != checksums_[count_ - 1])
    count_ = 0;
  for (size_t i = 0; i < kUnitsPerSlot; ++i) units_[count_][i] = Le16(entry, kUnitOffsets[i]);
  checksums_[count_] = checksum;
  ++count_;
}

bool LongNameSlots::Assemble(std::string& utf8) const {
  std::array<uint16_t, kLongNameSlots * kUnitsPerSlot> name{};
  size_t length = 0;
  for (size_t slot = count_; slot-- > 0;)
    for (uint16_t unit : units_[slot]) name[length++] = unit;
  const size_t end = static_cast<size_t>(std::find(name.begin(), name.begin() + length, 0) - name.begin());
  return platform::Utf16ToUtf8(std::span<const uint16_t>(name.data(), end), utf8);
}

uint8_t ShortNameChecksum(ByteView name11) {
  uint8_t s = 0;
  for (size_t i = 0; i < 11; ++i)
    s = static_cast<uint8_t>(((s & 1) << 7) + (s >> 1) + Le8(name11, i));
  return s;
}

bool ShortNameHasForbiddenBytes(ByteView name11) {
  for (size_t i = 0; i < 11; ++i) {
    const uint8_t c = Le8(name11, i);
    if (c == 0) return true;
    if (platform::IsCp932LeadByte(c) && i + 1 < 11) {
      if (Le8(name11, i + 1) == 0) return true;
      ++i;  // its trail byte may look like '\' or '|' and is part of the character
      continue;
    }
    if (IsForbiddenChar(c) || c == '.' || c == ';' || c == ',') return true;
  }
  return false;
}

std::string ShortNameText(ByteView entry) {
  std::string raw(11, ' ');
  for (size_t i = 0; i < 11; ++i) raw[i] = static_cast<char>(Le8(entry, i));
  if (Le8(entry, 0) == kDeletedMark) raw[0] = '$';
  std::string text = TrimTrailingBlanks(std::string_view(raw).substr(0, 8));
  const std::string ext = TrimTrailingBlanks(std::string_view(raw).substr(8, 3));
  if (!ext.empty()) text += "." + ext;
  std::string utf8;
  if (!platform::Cp932ToUtf8(text, utf8)) return {};
  return utf8;
}

bool LongNameMatches(ByteView entry, std::string_view longName, uint8_t checksum) {
  std::array<uint8_t, 11> name{};
  for (size_t i = 0; i < 11; ++i) name[i] = Le8(entry, i);
  if (name[0] == kDeletedMark) {
    // Only the first character is needed; a character with no code page 932
    // form cannot have produced the short name, and then nothing matches.
    std::string cp932;
    const size_t firstLength = longName.empty() ? 0
                               : static_cast<uint8_t>(longName[0]) < 0x80 ? 1
                               : static_cast<uint8_t>(longName[0]) < 0xE0 ? 2
                               : static_cast<uint8_t>(longName[0]) < 0xF0 ? 3 : 4;
    if (firstLength == 0 || !platform::Utf8ToCp932(longName.substr(0, firstLength), cp932) || cp932.empty())
      return false;
    uint8_t first = static_cast<uint8_t>(cp932[0]);
    if (first >= 'a' && first <= 'z') first = static_cast<uint8_t>(first - 'a' + 'A');
    name[0] = first;
  }
  return ShortNameChecksum(name) == checksum;
}

bool DisplayNameAcceptable(std::string_view name) {
  if (name.empty()) return false;
  // UTF-8 never uses ASCII values inside a multibyte character, so a plain
  // byte search is multibyte-safe here.
  return std::none_of(name.begin(), name.end(), [](char c) { return IsForbiddenChar(static_cast<uint8_t>(c)); });
}

}  // namespace vellum::fat
