#include "volume/orphan_rule.h"

#include <gtest/gtest.h>

namespace vellum::volume {
namespace {

// The reasons the rule gives at the edges of each check: what a real entry
// can hold passes, one step past it does not.
TEST(OrphanRule, EachFaultAtItsEdge) {
  ScanState s;
  s.lastCluster = 1000;
  s.dataAreaBytes = 1000 * 4096;
  const auto check = [&](CalendarTime t, std::string_view name, std::optional<uint64_t> cluster, uint64_t size) {
    return CheckOrphan(s, OrphanFacts{name, t, cluster, size});
  };
  const CalendarTime good{2024, 5, 6, 7, 8, 10};
  EXPECT_EQ(check(good, "photo.jpg", 2, 100), OrphanFault::kNone);
  EXPECT_EQ(check({2024, 2, 29, 23, 59, 59}, "写真.jpg", 1000, s.dataAreaBytes), OrphanFault::kNone);
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

}  // namespace
}  // namespace vellum::volume
