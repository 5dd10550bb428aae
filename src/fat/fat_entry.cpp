#include "fat/fat_entry.h"

#include <algorithm>
#include <array>

#include "platform/codepage.h"

namespace vellum::fat {

namespace {

using fat_layout::kLastSlotFlag;
using fat_layout::kShortName;

// Offsets of the 13 UTF-16 units inside a long-name entry: its three pieces, unit by unit.
constexpr std::array<size_t, kUnitsPerSlot> kUnitOffsets = [] {
  std::array<size_t, kUnitsPerSlot> at{};
  size_t n = 0;
  for (const ByteField piece : {fat_layout::kSlotUnits1, fat_layout::kSlotUnits2, fat_layout::kSlotUnits3})
    for (uint64_t o = piece.offset; o < piece.End(); o += 2) at[n++] = o;
  return at;
}();
static_assert(kUnitOffsets[kUnitsPerSlot - 1] == 30, "13 units in three pieces");

bool IsForbiddenChar(uint8_t c) {
  static constexpr std::string_view kForbidden = "\\/:*?<>|\"\n\t\r\a\b\f\v\x1A";
  return c != 0 && kForbidden.find(static_cast<char>(c)) != std::string_view::npos;
}

std::string TrimTrailingBlanks(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

// Punctuation a short name may hold besides letters and digits.
constexpr std::string_view kShortNamePunctuation = "!#$%&'()-@^_`{}~";
// ASCII characters of long names that a short name replaces by '_'.
constexpr std::string_view kReplacedInShortNames = "+,;=[]";

// A byte a short name may begin with: upper-case letters, digits, the
// punctuation above, 0x05 (which stands for a first byte 0xE5) and the OEM
// bytes from 0x80 on except the deleted mark itself.
bool MayBeginShortName(uint8_t b) {
  if (b >= 0x80) return b != kDeletedMark;
  if ((b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == fat_layout::kE5StandIn) return true;
  return kShortNamePunctuation.find(static_cast<char>(b)) != std::string_view::npos;
}

// The byte a short name made from `longName` begins with, when its first
// character (leading dots and blanks are dropped) is ASCII; none when it is
// not, since its OEM form depends on the code page that made the name.
std::optional<uint8_t> ShortFormOfFirstCharacter(std::string_view longName) {
  const size_t at = longName.find_first_not_of(". ");
  if (at == std::string_view::npos) return std::nullopt;
  const uint8_t c = static_cast<uint8_t>(longName[at]);
  if (c >= 0x80) return std::nullopt;
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 'a' + 'A');
  if (kReplacedInShortNames.find(static_cast<char>(c)) != std::string_view::npos) return uint8_t{'_'};
  return c;
}

// The 11 name bytes of a short entry; bytes an entry cut short lacks read 0.
std::array<uint8_t, kShortName.length> ShortNameBytes(ByteView entry) {
  FieldReader r(entry);
  std::array<uint8_t, kShortName.length> name{};
  for (size_t i = 0; i < name.size(); ++i) name[i] = r.U8(kShortName.offset + i);
  return name;
}

}  // namespace

bool LongNameSlots::Add(ByteView entry) {
  // Fields in the order they stand, so a short entry reads 0 from where it
  // ends on; the checksum sits between the fifth and sixth units.
  FieldReader r(entry);
  const uint8_t sequence = r.Read(fat_layout::kSlotSequence);
  std::array<uint16_t, kUnitsPerSlot> units{};
  constexpr size_t kUnitsBeforeChecksum = fat_layout::kSlotUnits1.length / 2;
  for (size_t i = 0; i < kUnitsBeforeChecksum; ++i) units[i] = r.U16(kUnitOffsets[i]);
  const uint8_t checksum = r.Read(fat_layout::kSlotChecksum);
  for (size_t i = kUnitsBeforeChecksum; i < kUnitsPerSlot; ++i) units[i] = r.U16(kUnitOffsets[i]);
  if (count_ > kLongNameSlots - 1)
    count_ = 0;
  else if (count_ > 0 && checksum != checksums_[count_ - 1])
    count_ = 0;
  units_[count_] = units;
  checksums_[count_] = checksum;
  sequences_[count_] = sequence;
  ++count_;
  return r.Ok();
}

bool LongNameSlots::Assemble(std::string& utf8) const {
  std::array<uint16_t, kLongNameSlots * kUnitsPerSlot> name{};
  size_t length = 0;
  for (size_t slot = count_; slot-- > 0;)
    for (uint16_t unit : units_[slot]) name[length++] = unit;
  const size_t end = static_cast<size_t>(std::find(name.begin(), name.begin() + length, 0) - name.begin());
  return platform::Utf16ToUtf8(std::span<const uint16_t>(name.data(), end), utf8);
}

bool LongNameSlots::CompleteAndInOrder() const {
  if (count_ == 0 || count_ > kLongNameSlots) return false;
  for (size_t slot = 0; slot < count_; ++slot) {
    const uint8_t own = static_cast<uint8_t>((count_ - slot) | (slot == 0 ? kLastSlotFlag : 0));
    if (sequences_[slot] != kDeletedMark && sequences_[slot] != own) return false;
    const auto& units = units_[slot];
    const auto nul = std::find(units.begin(), units.end(), uint16_t{0});
    if (slot > 0) {
      if (nul != units.end() || std::find(units.begin(), units.end(), uint16_t{0xFFFF}) != units.end()) return false;
    } else if (nul != units.end()) {
      if (nul == units.begin() || !std::all_of(nul + 1, units.end(), [](uint16_t u) { return u == 0xFFFF; }))
        return false;
    }
  }
  return true;
}

uint8_t ShortNameChecksum(ByteView name11) {
  uint8_t s = 0;
  for (size_t i = 0; i < 11; ++i)
    s = static_cast<uint8_t>(((s & 1) << 7) + (s >> 1) + Le8(name11, i));
  return s;
}

namespace {

// Whether the name bytes from `from` on hold a byte no short name may hold,
// reading code page 932 pairs so that a trail byte that looks like '\' or
// '|' stays part of its character. A byte the view lacks reads 0.
bool ForbiddenFrom(FieldReader& r, size_t from) {
  for (size_t i = from; i < 11; ++i) {
    const uint8_t c = r.U8(i);
    if (c == 0) return true;
    if (platform::IsCp932LeadByte(c) && i + 1 < 11) {
      if (r.U8(i + 1) == 0) return true;
      ++i;
      continue;
    }
    if (IsForbiddenChar(c) || c == '.' || c == ';' || c == ',') return true;
  }
  return false;
}

// The first byte read as the lead byte of a pair: the next one is its trail.
bool ForbiddenAfterLeadAt0(FieldReader& r) { return r.U8(1) == 0 || ForbiddenFrom(r, 2); }

}  // namespace

bool ShortNameHasForbiddenBytes(ByteView name11) {
  FieldReader r(name11);
  switch (r.U8(0)) {
    case 0:
      return true;
    // 0x05 stands for a first byte 0xE5, a lead byte.
    case fat_layout::kE5StandIn:
      return ForbiddenAfterLeadAt0(r);
    // A deleted entry lost its first byte: it was a character of its own or
    // the lead byte of a pair, and the name is good when either reading is.
    // "A表~1" deleted is E5 95 5C ..., "表計~1" deleted is E5 5C 8C ...
    case kDeletedMark:
      return ForbiddenFrom(r, 1) && ForbiddenAfterLeadAt0(r);
    default:
      return ForbiddenFrom(r, 0);
  }
}

std::string ShortNameText(ByteView entry) {
  const std::array<uint8_t, 11> name = ShortNameBytes(entry);
  std::string raw(name.begin(), name.end());
  if (name[0] == kDeletedMark) raw[0] = '$';
  std::string text = TrimTrailingBlanks(std::string_view(raw).substr(0, 8));
  const std::string ext = TrimTrailingBlanks(std::string_view(raw).substr(8, 3));
  if (!ext.empty()) text += "." + ext;
  std::string utf8;
  if (!platform::Cp932ToUtf8(text, utf8)) return {};
  return utf8;
}

bool LongNameMatches(ByteView entry, std::string_view longName, uint8_t checksum) {
  std::array<uint8_t, 11> name = ShortNameBytes(entry);
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

bool DeletedLongNameMatches(ByteView entry, std::string_view longName, const LongNameSlots& slots) {
  std::array<uint8_t, 11> name = ShortNameBytes(entry);
  if (name[0] != kDeletedMark || !slots.CompleteAndInOrder()) return false;
  // The first byte enters the checksum once, and every later step is a
  // bijection: exactly one byte value matches.
  for (unsigned b = 0; b < 256; ++b) {
    name[0] = static_cast<uint8_t>(b);
    if (ShortNameChecksum(name) != slots.FirstChecksum()) continue;
    const std::optional<uint8_t> expected = ShortFormOfFirstCharacter(longName);
    return MayBeginShortName(name[0]) && (!expected || *expected == name[0]);
  }
  return false;
}

bool DisplayNameAcceptable(std::string_view name) {
  if (name.empty()) return false;
  // UTF-8 never uses ASCII values inside a multibyte character, so a plain
  // byte search is multibyte-safe here.
  return std::none_of(name.begin(), name.end(), [](char c) { return IsForbiddenChar(static_cast<uint8_t>(c)); });
}

}  // namespace vellum::fat
