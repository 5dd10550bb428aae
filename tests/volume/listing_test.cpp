#include "volume/listing.h"

#include <gtest/gtest.h>

#include "support/listing_fakes.h"

namespace vellum::volume {
namespace {

using testing::RecordingSink;

TEST(NameFilter, MatchesOnlyWholeCharactersOfJapaneseNames) {
  EXPECT_TRUE(NameMatchesFilter("写真txt.jpg", "真TXT"));
  EXPECT_TRUE(NameMatchesFilter("anything", ""));
  // In code page 932 "ア" is 83 41 and "ト" 83 67: a byte-wise search would
  // find 'A' and an upper-cased 'g' inside them. In UTF-8 it cannot.
  EXPECT_FALSE(NameMatchesFilter("アイ.doc", "A"));
  EXPECT_FALSE(NameMatchesFilter("トヌ", "G"));
  // Only ASCII is upper-cased: a full-width letter stays as it is.
  EXPECT_FALSE(NameMatchesFilter("ａｂｃ", "ＡＢＣ"));
}

TEST(ListFoundEntry, WithoutShellTheTypeIsEmptyAndTheIconZero) {
  ScanState state;
  RecordingSink sink;
  state.rows = &sink;
  state.rowCount = 0;
  std::string_view type = "stale";
  EXPECT_EQ(ListFoundEntry(state, "a.txt", false, &type), 0u);
  EXPECT_EQ(ListFoundEntry(state, "b.txt", false, &type), 1u);
  EXPECT_EQ(type, "");
  ASSERT_EQ(sink.rows.size(), 2u);
  EXPECT_EQ(sink.rows[1].cells.at(0), "b.txt");
  EXPECT_EQ(sink.rows[1].icon, 0);
  EXPECT_EQ(sink.shownCounts, (std::vector<uint32_t>{1, 2}));
}

TEST(FormatDosDateTime, PrintsFieldsAsStoredWithOptionalMilliseconds) {
  // 2013-03-10 23:59:58: date (33 << 9) | (3 << 5) | 10, time (23 << 11) | (59 << 5) | 29.
  const uint16_t date = (33 << 9) | (3 << 5) | 10;
  const uint16_t time = (23 << 11) | (59 << 5) | 29;
  EXPECT_EQ(FormatDosDateTime(date, time), "2013/03/10 23:59:58");
  EXPECT_EQ(FormatDosDateTime(date, time, 0), "2013/03/10 23:59:58.000");
  EXPECT_EQ(FormatDosDateTime(date, time, 199), "2013/03/10 23:59:59.990");
  EXPECT_EQ(FormatDosDateTime(date, time, 57), "2013/03/10 23:59:58.570");
  // Nothing is validated: a zero date prints month and day 0.
  EXPECT_EQ(FormatDosDateTime(0, 0), "1980/00/00 00:00:00");
  EXPECT_EQ(FormatDosDateTime(0xFFFF, 0xFFFF), "2107/15/31 31:63:62");
}

}  // namespace
}  // namespace vellum::volume
