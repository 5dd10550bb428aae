#include "app/cluster_range.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/parse_number.h"

namespace vellum::app {
namespace {

TEST(ParseUnsigned64, ReadsLikeTheEditBoxes) {
  EXPECT_EQ(ParseUnsigned64(""), 0u);
  EXPECT_EQ(ParseUnsigned64("   "), 0u);
  EXPECT_EQ(ParseUnsigned64("abc"), 0u);
  EXPECT_EQ(ParseUnsigned64(" \t\n42"), 42u);
  EXPECT_EQ(ParseUnsigned64("  1200 / 65525"), 1200u);
  EXPECT_EQ(ParseUnsigned64("-5"), 0u);
  EXPECT_EQ(ParseUnsigned64("+5"), 0u);
  EXPECT_EQ(ParseUnsigned64("007"), 7u);
  EXPECT_EQ(ParseUnsigned64("10000000000"), 10000000000u);
}

TEST(ParseUnsigned64, SaturatesInsteadOfWrapping) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  EXPECT_EQ(ParseUnsigned64("18446744073709551615"), kMax);
  EXPECT_EQ(ParseUnsigned64("18446744073709551614"), kMax - 1);
  EXPECT_EQ(ParseUnsigned64("18446744073709551616"), kMax);  // would wrap to 0
  EXPECT_EQ(ParseUnsigned64("18446744073709551620"), kMax);
  EXPECT_EQ(ParseUnsigned64("99999999999999999999999 7"), kMax);
}

// The dialog on a FAT volume opens with the limits 2 and lastCluster.
constexpr uint64_t kLastCluster = 65526;

TEST(CheckClusterRange, RefusesWithTheDialogsWordsAndFocus) {
  ClusterRangeCheck check = CheckClusterRangeTexts("1", "100", 2, kLastCluster);
  EXPECT_FALSE(check.ok);
  EXPECT_EQ(check.message, "開始クラスタが小さ過ぎます。");
  EXPECT_EQ(check.focusId, kStartClusterEditId);

  check = CheckClusterRangeTexts("2", ClusterNumberText(kLastCluster + 1), 2, kLastCluster);
  EXPECT_EQ(check.message, "終了クラスタが大き過ぎます。");
  EXPECT_EQ(check.focusId, kEndClusterEditId);

  check = CheckClusterRangeTexts("100", "99", 2, kLastCluster);
  EXPECT_EQ(check.message, "終了クラスタは開始クラスタ以上の値を入力してください。");
  EXPECT_EQ(check.focusId, kEndClusterEditId);

  // The start is judged first, whatever the end says.
  EXPECT_EQ(CheckClusterRange(0, kLastCluster + 5, 2, kLastCluster).message, kStartTooSmallMessage);
  // An empty start reads as 0.
  EXPECT_EQ(CheckClusterRangeTexts("", "10", 2, kLastCluster).message, kStartTooSmallMessage);
}

TEST(CheckClusterRange, AcceptsEveryRangeInsideTheLimits) {
  ClusterRangeCheck check = CheckClusterRangeTexts("100", "100", 2, kLastCluster);
  ASSERT_TRUE(check.ok);
  EXPECT_EQ(check.start, 100u);
  EXPECT_EQ(check.end, 100u);
  EXPECT_TRUE(check.message.empty());
  check = CheckClusterRangeTexts(" 2", "65526 clusters", 2, kLastCluster);
  EXPECT_TRUE(check.ok);
  EXPECT_EQ(check.end, kLastCluster);
  EXPECT_TRUE(CheckClusterRange(0, 0, 0, 0).ok);  // NTFS opens at 0
}

TEST(CheckClusterRange, LargeNumbersReadBackAsShown) {
  const uint64_t big = 10000000000;
  EXPECT_EQ(ClusterNumberText(big), "10000000000");
  const ClusterRangeCheck check =
      CheckClusterRangeTexts(ClusterNumberText(big), ClusterNumberText(big + 1), 0, big + 1);
  ASSERT_TRUE(check.ok);
  EXPECT_EQ(check.start, big);
  EXPECT_EQ(check.end, big + 1);
  // A number too long for 64 bits is too large, not a wrapped small one.
  EXPECT_EQ(CheckClusterRangeTexts("2", "18446744073709551616", 2, kLastCluster).message,
            kEndTooLargeMessage);
}

}  // namespace
}  // namespace vellum::app
