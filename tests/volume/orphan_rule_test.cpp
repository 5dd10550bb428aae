#include "volume/orphan_rule.h"

#include <gtest/gtest.h>

#include <vector>

namespace vellum::volume {
namespace {

// The reasons the rule gives at the edges of each check: what a real entry
// can hold passes, one step past it does not.
TEST(OrphanRule, EachFaultAtItsEdge) {
  ScanState s;
  s.lastCluster = 1000;
  s.dataAreaBytes = 1000 * 4096;
  const auto check = [&](CalendarTime t, std::string_view name, std::optional<uint64_t> cluster, uint64_t size) {
    return CheckOrphan(s, OrphanFacts{name, t, cluster, size, {}});
  };
  const CalendarTime good{2024, 5, 6, 7, 8, 10};
  EXPECT_EQ(check(good, "photo.jpg", 2, 100), OrphanFault::kNone);
  EXPECT_EQ(check({2024, 2, 29, 23, 59, 59}, "写真.jpg", 1000, 4096), OrphanFault::kNone);
  EXPECT_EQ(check(good, "empty.txt", 0, 0), OrphanFault::kNone);  // an empty file has no cluster
  EXPECT_EQ(check(good, "record", std::nullopt, 0), OrphanFault::kNone);

  EXPECT_EQ(check(DosCalendarTime(0xE266, 0xCD16), "x", 2, 1), OrphanFault::kInvalidTime);  // 2093/03/06 25:40:44
  EXPECT_EQ(check({2023, 2, 29, 0, 0, 0}, "x", 2, 1), OrphanFault::kInvalidTime);
  EXPECT_EQ(check({2024, 4, 31, 0, 0, 0}, "x", 2, 1), OrphanFault::kInvalidTime);
  EXPECT_EQ(check({2024, 0, 1, 0, 0, 0}, "x", 2, 1), OrphanFault::kInvalidTime);
  EXPECT_EQ(check({10000, 1, 1, 0, 0, 0}, "x", 2, 1), OrphanFault::kInvalidTime);
  EXPECT_EQ(check(DosCalendarTime(0x58A6, 0x3905, 199), "x", 2, 1), OrphanFault::kNone);  // :10 + 1.99 s

  EXPECT_EQ(check(good, "bell\a.txt", 2, 1), OrphanFault::kControlCharacter);
  EXPECT_EQ(check(good, "del\x7f", 2, 1), OrphanFault::kControlCharacter);
  EXPECT_EQ(check(good, "c1\xc2\x85", 2, 1), OrphanFault::kControlCharacter);  // U+0085
  EXPECT_EQ(check(good, "nbsp\xc2\xa0", 2, 1), OrphanFault::kNone);             // U+00A0 is a letter's kin

  EXPECT_EQ(check(good, "x", 1, 1), OrphanFault::kClusterOutside);
  EXPECT_EQ(check(good, "x", 0, 1), OrphanFault::kClusterOutside);
  EXPECT_EQ(check(good, "x", 1001, 1), OrphanFault::kClusterOutside);
  EXPECT_EQ(check(good, "x", 2, s.dataAreaBytes + 1), OrphanFault::kSizeOutside);
  EXPECT_FALSE(OrphanFaultText(OrphanFault::kInvalidTime).empty());
}

// What a FAT or exFAT entry read from free clusters may not claim: clusters
// past the volume's last from its first on, a time after tomorrow, short-name
// bytes no driver writes. NTFS records keep their own rules.
TEST(OrphanRule, FatEntriesHeldToTheVolumeAndTheClock) {
  ScanState s;
  s.fsKind = kFat32;
  s.lastCluster = 1000;
  s.clusterBytes = 4096;
  s.dataAreaBytes = 999 * 4096;
  const int64_t now = 1'800'000'000;  // 2027-01-15 08:00:00 UTC
  const auto check = [&](CalendarTime t, uint64_t cluster, uint64_t size, ByteView shortName = {}) {
    return CheckOrphan(s, OrphanFacts{"x", t, cluster, size, shortName}, now);
  };
  const CalendarTime good{2024, 5, 6, 7, 8, 10};
  EXPECT_EQ(check(good, 990, 11 * 4096), OrphanFault::kNone);  // clusters 990 to 1000
  EXPECT_EQ(check(good, 990, 11 * 4096 + 1), OrphanFault::kRunPastEnd);
  EXPECT_EQ(check(good, 1000, 4097), OrphanFault::kRunPastEnd);
  EXPECT_EQ(check({2027, 1, 16, 8, 0, 0}, 2, 1), OrphanFault::kNone);  // tomorrow: a clock a zone ahead
  EXPECT_EQ(check({2027, 1, 16, 8, 0, 1}, 2, 1), OrphanFault::kFutureTime);
  EXPECT_EQ(check({2085, 3, 1, 12, 0, 0}, 2, 1), OrphanFault::kFutureTime);

  const auto name = [](std::string_view text) {
    static std::vector<std::vector<uint8_t>> kept;
    kept.emplace_back(text.begin(), text.end());
    return ByteView(kept.back());
  };
  EXPECT_EQ(check(good, 2, 1, name("DSC_0001JPG")), OrphanFault::kNone);
  EXPECT_EQ(check(good, 2, 1, name("\xCA\xDF\xB2\xD9    TXT")), OrphanFault::kNone);  // half-width kana
  EXPECT_EQ(check(good, 2, 1, name("\x8E\xCA\x90\x5E    JPG")), OrphanFault::kNone);  // 写真: trail 0x5E
  EXPECT_EQ(check(good, 2, 1, name("\x8E" "a      JPG")), OrphanFault::kNone);  // a trail byte in the a-z range
  EXPECT_EQ(check(good, 2, 1, name("\xE5" "a      TXT")), OrphanFault::kNone);  // after the mark: maybe a trail
  EXPECT_EQ(check(good, 2, 1, name("Dsc_0001JPG")), OrphanFault::kNameNotProduced);
  EXPECT_EQ(check(good, 2, 1, name("DSC_0001jpg")), OrphanFault::kNameNotProduced);
  EXPECT_EQ(check(good, 2, 1, name("ABCDEFG\x8E\xCAXX")), OrphanFault::kNameNotProduced);  // split at the dot
  EXPECT_EQ(check(good, 2, 1, name("ABCDEFGHIJ\x8E")), OrphanFault::kNameNotProduced);    // cut at the end

  s.fsKind = kNtfs;  // runs may lead anywhere from the first cluster
  EXPECT_EQ(check({2085, 3, 1, 12, 0, 0}, 1000, 99 * 4096), OrphanFault::kNone);
}

}  // namespace
}  // namespace vellum::volume
