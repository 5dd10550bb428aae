#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace vellum::platform {
namespace {

TEST(Codepage, Utf16NamesAndUnpairedSurrogates) {
  std::string out;
  const uint16_t kanji[] = {0x5199, 0x771F, 0x002E, 0x006A};  // 写真.j
  EXPECT_TRUE(Utf16ToUtf8(kanji, out));
  EXPECT_EQ(out, "写真.j");
  const uint16_t pair[] = {0xD83D, 0xDE00};
  EXPECT_TRUE(Utf16ToUtf8(pair, out));
  EXPECT_EQ(out, "\xF0\x9F\x98\x80");
  const uint16_t lone[] = {0x0041, 0xDC00, 0x0042};
  EXPECT_FALSE(Utf16ToUtf8(lone, out));
  const uint16_t endsHigh[] = {0x0041, 0xD800};
  EXPECT_FALSE(Utf16ToUtf8(endsHigh, out));
}

TEST(Codepage, ShortNameBytesRoundTrip) {
  std::string utf8, back;
  // 0x95 0x5C is a kanji whose trail byte is the value of '\'.
  ASSERT_TRUE(Cp932ToUtf8("\x95\x5C.TXT", utf8));
  EXPECT_EQ(utf8, "表.TXT");
  ASSERT_TRUE(Utf8ToCp932(utf8, back));
  EXPECT_EQ(back, "\x95\x5C.TXT");
  EXPECT_TRUE(Cp932ToUtf8("\xB1\xB2", utf8));  // half-width katakana
  EXPECT_EQ(utf8, "ｱｲ");
  EXPECT_FALSE(Cp932ToUtf8("\x81", utf8));  // a lead byte without its trail
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", back));  // no code page 932 form
}

TEST(Codepage, LengthsCountAsCodePage932Would) {
  EXPECT_EQ(Cp932Length("abc"), 3u);
  EXPECT_EQ(Cp932Length("写真.jpg"), 8u);
  EXPECT_EQ(Cp932Length("ｱｲ"), 2u);
  EXPECT_TRUE(IsValidUtf8("写真"));
  EXPECT_FALSE(IsValidUtf8("\x95\x5C"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // an encoded surrogate
  EXPECT_EQ(UpperAscii("readme.txt 写真"), "README.TXT 写真");
}

}  // namespace
}  // namespace vellum::platform
