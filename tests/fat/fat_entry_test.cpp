#include "fat/fat_entry.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vellum::fat {
namespace {

std::vector<uint8_t> ShortEntry(const char* name11) {
  std::vector<uint8_t> e(kEntryBytes, 0);
  std::memcpy(e.data(), name11, 11);
  e[11] = 0x20;
  return e;
}

// A long-name entry holding up to 13 characters of `part`.
std::vector<uint8_t> LongEntry(const std::u16string& part, uint8_t checksum) {
  static const size_t offsets[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  std::vector<uint8_t> e(kEntryBytes, 0xFF);
  e[0] = 0x41;
  e[11] = kAttrLongName;
  e[12] = 0;
  e[13] = checksum;
  e[26] = e[27] = 0;
  for (size_t i = 0; i < 13; ++i) {
    const uint16_t unit = i < part.size() ? part[i] : (i == part.size() ? 0 : 0xFFFF);
    e[offsets[i]] = static_cast<uint8_t>(unit);
    e[offsets[i] + 1] = static_cast<uint8_t>(unit >> 8);
  }
  return e;
}

TEST(ShortNames, DeletedFirstByteShowsAsDollar) {
  auto e = ShortEntry("\xE5" "BC     TXT");
  EXPECT_EQ(ShortNameText(e), "$BC.TXT");
  EXPECT_EQ(ShortNameText(ShortEntry("NOEXT      ")), "NOEXT");
  // Code page 932 bytes decode to UTF-8: 0x95 0x5C is one kanji, not a separator.
  auto kanji = ShortEntry("\x95\x5C      TXT");
  EXPECT_EQ(ShortNameText(kanji), "表.TXT");
  EXPECT_FALSE(ShortNameHasForbiddenBytes(kanji));
}

TEST(ShortNames, ForbiddenBytesEndTheEntry) {
  EXPECT_TRUE(ShortNameHasForbiddenBytes(ShortEntry("A*B     TXT")));
  EXPECT_TRUE(ShortNameHasForbiddenBytes(ShortEntry("A.B     TXT")));
  EXPECT_TRUE(ShortNameHasForbiddenBytes(ShortEntry("AB\\     TX")));
  EXPECT_FALSE(ShortNameHasForbiddenBytes(ShortEntry("\x83\x7C      TXT")));  // 0x7C as a trail byte
  auto withNul = ShortEntry("AB      TXT");
  withNul[9] = 0;
  EXPECT_TRUE(ShortNameHasForbiddenBytes(withNul));
}

// A Japanese Windows keeps 0x5C and 0x7C as trail bytes in short names. Once
// deleted, the first byte is 0xE5, itself a lead byte: the name is good when
// the lost byte read as a character of its own, or as a lead byte, gives one.
TEST(ShortNames, TrailBytesOfDeletedNamesAreNotSeparators) {
  EXPECT_FALSE(ShortNameHasForbiddenBytes(ShortEntry("\xE5\x95\x5C\x82\xCC~1 TXT")));  // A表の~1
  EXPECT_FALSE(ShortNameHasForbiddenBytes(ShortEntry("\xE5\x83\x7C\x83\x43~1 TXT")));  // Aポイ~1
  EXPECT_FALSE(ShortNameHasForbiddenBytes(ShortEntry("\xE5\x5C\x8C\x76\x8E\x5A~1TXT")));  // 表計算~1
  EXPECT_FALSE(ShortNameHasForbiddenBytes(ShortEntry("\x05\x5C      TXT")));  // a live name whose first byte is 0xE5
  // Neither reading saves a separator of its own, or a lead byte's missing trail.
  EXPECT_TRUE(ShortNameHasForbiddenBytes(ShortEntry("\xE5" "A\\     TXT")));
  EXPECT_TRUE(ShortNameHasForbiddenBytes(ShortEntry("\xE5\x5C\x5C     TXT")));
  EXPECT_TRUE(ShortNameHasForbiddenBytes(ShortEntry("A\x95\x5C\x5C    TXT")));
}

TEST(LongNames, DeletedEntryChecksumTakesTheFirstLetterFromTheLongName) {
  // readme.txt's short entry README  TXT, deleted: 0xE5 EADME  TXT.
  const uint8_t sum = ShortNameChecksum(ShortEntry("README  TXT"));
  auto deleted = ShortEntry("\xE5" "EADME  TXT");
  EXPECT_TRUE(LongNameMatches(deleted, "readme.txt", sum));
  EXPECT_FALSE(LongNameMatches(deleted, "xeadme.txt", sum));
  EXPECT_TRUE(LongNameMatches(ShortEntry("README  TXT"), "anything", sum));
  // A first character without a code page 932 form never matches.
  EXPECT_FALSE(LongNameMatches(deleted, "\xF0\x9F\x98\x80.txt", sum));
}

TEST(LongNames, SlotsAssembleInReverseAndRestart) {
  LongNameSlots slots;
  slots.Add(LongEntry(u"ame.txt", 7));       // met first: the end of the name
  slots.Add(LongEntry(u"A long file n", 7));
  std::string name;
  ASSERT_TRUE(slots.Assemble(name));
  EXPECT_EQ(name, "A long file name.txt");

  slots.Add(LongEntry(u"other", 9));  // a different checksum restarts here
  EXPECT_EQ(slots.Count(), 1u);
  ASSERT_TRUE(slots.Assemble(name));
  EXPECT_EQ(name, "other");

  slots.Reset();
  for (int i = 0; i < 21; ++i) slots.Add(LongEntry(u"x", 1));
  EXPECT_EQ(slots.Count(), 1u);  // the 21st entry starts over

  slots.Reset();
  slots.Add(LongEntry(std::u16string(1, char16_t(0xD800)), 1));
  EXPECT_FALSE(slots.Assemble(name));  // an unpaired surrogate does not survive
}

TEST(DisplayNames, SeparatorsAndControlsAreRefused) {
  EXPECT_TRUE(DisplayNameAcceptable("写真 2024.jpg"));
  EXPECT_FALSE(DisplayNameAcceptable("a/b"));
  EXPECT_FALSE(DisplayNameAcceptable("a\\b"));
  EXPECT_FALSE(DisplayNameAcceptable("tab\there"));
  EXPECT_FALSE(DisplayNameAcceptable(""));
}

}  // namespace
}  // namespace vellum::fat
