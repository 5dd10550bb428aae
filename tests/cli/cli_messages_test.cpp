#include "cli/cli_messages.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/cluster_range.h"
#include "cli/cli_cluster_range.h"

namespace vellum::cli {
namespace {

TEST(CliMessages, QuestionsTakeTheFlagsElseTheDefault) {
  std::ostringstream err;
  CliMessages messages(err);
  PresetScanAnswers(messages, /*freeScan=*/false, /*yes=*/true);
  EXPECT_EQ(messages.Show(kFullScanQuestion, MessageButtons::YesNo, MessageIcon::None,
                          MessageAnswer::No),
            MessageAnswer::Yes);
  EXPECT_EQ(messages.Show(kFreeScanQuestion, MessageButtons::YesNo, MessageIcon::None,
                          MessageAnswer::No),
            MessageAnswer::No);
  PresetScanAnswers(messages, /*freeScan=*/true, /*yes=*/false);
  EXPECT_EQ(messages.Show(kFreeScanQuestion, MessageButtons::YesNo, MessageIcon::None,
                          MessageAnswer::No),
            MessageAnswer::Yes);
  EXPECT_EQ(messages.Show("ページを表示しますか？", MessageButtons::YesNo, MessageIcon::Question,
                          MessageAnswer::Yes),
            MessageAnswer::Yes);
  // A flag's answer is the user's own: the question is not put to them again.
  // A question nobody answered shows the answer it took.
  EXPECT_EQ(err.str(), "vellum-cli: ページを表示しますか？ [Yes]\n");
}

TEST(CliMessages, RetryIsNeverChosenWithoutAPerson) {
  std::ostringstream err;
  CliMessages messages(err);
  EXPECT_EQ(messages.Show("sdb1:/ にアクセスできません", MessageButtons::RetryCancel,
                          MessageIcon::Stop, MessageAnswer::Retry),
            MessageAnswer::Cancel);
}

TEST(CliMessages, PlainMessagesAreOneLineAfterTheProgressLineStepsAside) {
  std::ostringstream err;
  CliMessages messages(err);
  int cleared = 0;
  messages.SetBeforeWrite([&] { ++cleared; });
  EXPECT_EQ(messages.Show("ファイルは１件も見つかりませんでした。", MessageButtons::Ok,
                          MessageIcon::None, MessageAnswer::Ok),
            MessageAnswer::Ok);
  EXPECT_EQ(err.str(), "vellum-cli: ファイルは１件も見つかりませんでした。\n");
  EXPECT_EQ(cleared, 1);
}

// What the summary names item by item is not said per block, and a note
// said once is not said again.
TEST(CliMessages, SummarisedTextsAreCountedAndNotesSaidOnce) {
  std::ostringstream err;
  CliMessages messages(err);
  messages.LeaveToSummary("ファイルの書き込みに失敗しました。");
  for (int i = 0; i < 29; ++i)
    messages.Show("ファイルの書き込みに失敗しました。", MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  for (int i = 0; i < 2; ++i)
    messages.Show("card.img は 512 バイト短い", MessageButtons::Ok, MessageIcon::Information, MessageAnswer::Ok);
  EXPECT_EQ(messages.TimesLeftToSummary("ファイルの書き込みに失敗しました。"), 29u);
  EXPECT_EQ(err.str(), "vellum-cli: card.img は 512 バイト短い\n");
}

TEST(ClusterRangeFlag, AcceptsOnlyTwoDecimalNumbers) {
  ClusterRangeFlag range;
  std::string error;
  ASSERT_TRUE(ParseClusterRangeFlag("2-65526", range, error));
  EXPECT_EQ(range.first, 2u);
  EXPECT_EQ(range.last, 65526u);
  ASSERT_TRUE(ParseClusterRangeFlag("10000000000-18446744073709551615", range, error));
  EXPECT_EQ(range.first, 10000000000u);
  EXPECT_EQ(range.last, UINT64_MAX);
  for (const char* bad : {"", "5", "-5", "5-", "1-2-3", " 1-2", "1 -2", "0x10-20", "+1-2",
                          "1-18446744073709551616", "a-b"}) {
    EXPECT_FALSE(ParseClusterRangeFlag(bad, range, error)) << bad;
  }
  EXPECT_NE(error.find("FIRST-LAST"), std::string::npos);
}

TEST(CliClusterRangeAsker, TakesTheProposedRangeWithoutAFlag) {
  std::ostringstream err;
  CliMessages messages(err);
  CliClusterRangeAsker asker(std::nullopt, messages);
  uint64_t start = 2, end = 65526;
  EXPECT_TRUE(asker.RunClusterRangeDialog(start, end));
  EXPECT_EQ(start, 2u);
  EXPECT_EQ(end, 65526u);
  EXPECT_FALSE(asker.Failed());
  EXPECT_TRUE(err.str().empty());
}

TEST(CliClusterRangeAsker, NarrowsOrRefusesLikeTheDialog) {
  std::ostringstream err;
  CliMessages messages(err);
  uint64_t start = 2, end = 65526;
  CliClusterRangeAsker narrow(ClusterRangeFlag{100, 100}, messages);
  EXPECT_TRUE(narrow.RunClusterRangeDialog(start, end));
  EXPECT_EQ(start, 100u);
  EXPECT_EQ(end, 100u);

  start = 2, end = 65526;
  CliClusterRangeAsker refused(ClusterRangeFlag{1, 65527}, messages);
  EXPECT_FALSE(refused.RunClusterRangeDialog(start, end));
  EXPECT_TRUE(refused.Failed());
  EXPECT_EQ(start, 2u);  // untouched, as after Cancel
  EXPECT_EQ(end, 65526u);
  EXPECT_EQ(err.str(), "vellum-cli: 開始クラスタが小さ過ぎます。\n--range には 2-65526 の範囲で指定してください。\n");
}

}  // namespace
}  // namespace vellum::cli
