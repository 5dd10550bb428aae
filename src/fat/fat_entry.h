// The pieces of one FAT directory entry: short names, long-name slots and
// their checksum, and the name checks a listed entry has to pass.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "volume/fat_layout.h"
#include "volume/le.h"

namespace vellum::fat {

using fat_layout::kAttrDirectory;
using fat_layout::kAttrLongName;
using fat_layout::kDeletedMark;
using fat_layout::kEntryBytes;
inline constexpr size_t kLongNameSlots = 20;
inline constexpr size_t kUnitsPerSlot = 13;

// Longest name or path we handle, counted as code page 932 would count it.
inline constexpr size_t kMaxNameBytes = 520;

inline bool IsLongNameEntry(ByteView e) {
  return Le(e, fat_layout::kAttributes) == kAttrLongName && FieldIsZero(e, fat_layout::kSlotFirstCluster);
}
inline bool IsDirectoryEntry(ByteView e) { return (Le(e, fat_layout::kAttributes) & kAttrDirectory) != 0; }
inline uint32_t EntrySize(ByteView e) { return Le(e, fat_layout::kFileSize); }
inline uint16_t EntryTime(ByteView e) { return Le(e, fat_layout::kWriteTime); }
inline uint16_t EntryDate(ByteView e) { return Le(e, fat_layout::kWriteDate); }
// The first name byte: the end mark, the deleted mark, '.' or a name's first byte.
inline uint8_t EntryFirstByte(ByteView e) { return Le(e, fat_layout::kNameFirstByte); }

// The long-name entries gathered before a short entry. The slot met first
// holds the end of the name.
class LongNameSlots {
 public:
  size_t Count() const { return count_; }
  void Reset() { count_ = 0; }
  // Takes one long-name entry: a sequence whose checksum changes restarts at
  // this entry, and one that grows past 20 entries restarts too. False when
  // the entry was cut short (the units it lacks are taken as 0).
  bool Add(ByteView entry);
  uint8_t FirstChecksum() const { return checksums_[0]; }
  // The assembled name up to its first NUL unit, as UTF-8; false when the
  // units are not valid UTF-16.
  bool Assemble(std::string& utf8) const;
  // Whether the slots gathered are one whole name, none lost and none out
  // of place. A slot that kept its sequence byte must carry its own number
  // (the first met the count, with the last-slot flag, down to 1). A deleted
  // slot's sequence byte is the deleted mark, so for it the text must show
  // the shape instead: the first met slot holds the name's end (a NUL unit
  // followed only by 0xFFFF padding, or all 13 units used) and every other
  // slot is full, with no NUL and no padding. A run that lost its first
  // slots is therefore caught unless the name it kept fills whole slots.
  bool CompleteAndInOrder() const;

 private:
  std::array<std::array<uint16_t, kUnitsPerSlot>, kLongNameSlots> units_{};
  std::array<uint8_t, kLongNameSlots> checksums_{};
  std::array<uint8_t, kLongNameSlots> sequences_{};
  size_t count_ = 0;
};

// The checksum a long name carries of its short entry's 11 name bytes.
uint8_t ShortNameChecksum(ByteView name11);

// True when the 11 short-name bytes hold a NUL or a character no name may
// hold. Trail bytes of double-byte characters are not mistaken for them.
bool ShortNameHasForbiddenBytes(ByteView name11);

// The 8.3 text of a short entry: '$' for a deleted entry's first byte,
// trailing blanks removed, '.' before a non-empty extension, decoded from
// code page 932. Empty when the bytes do not decode.
std::string ShortNameText(ByteView entry);

// Whether a deleted entry's long name belongs to its short entry. The
// deleted mark replaced the short name's first byte, so it is put back from
// the long name's first character (upper-cased) before the checksum is taken.
bool LongNameMatches(ByteView entry, std::string_view longName, uint8_t checksum);

// The thorough form of LongNameMatches for a deleted entry whose first byte
// cannot be taken from its long name (a short name of underscores, or one
// made after leading dots were dropped): the long name is kept when the
// slots are complete and in order and the one first byte that makes the
// checksum match is a byte a short name may begin with. When the long name
// begins (after leading dots and blanks) with an ASCII character, that byte
// must also be the character's short-name form: its upper case, or '_' for
// the characters a short name may not hold.
bool DeletedLongNameMatches(ByteView entry, std::string_view longName, const LongNameSlots& slots);

// A display name that may be listed: no character a file name may not hold.
bool DisplayNameAcceptable(std::string_view name);

}  // namespace vellum::fat
