#include "app/drive_table_host.h"

#include <gtest/gtest.h>

namespace vellum::app {
namespace {

class DialogsLeftOut : public DriveTableResultsHost {
 public:
  using DriveTableResultsHost::DriveTableResultsHost;
  std::string AskSavePath(std::string_view) override { return {}; }
  std::string AskOpenPath(std::string_view) override { return {}; }
  bool SelectDrive(int32_t) override { return false; }
  int OpenVolume() override { return 0; }
};

// A loaded list finds its drive by root text, whatever entry the file's
// index names; the source named in messages is the open drive's.
TEST(DriveTableResultsHost, AnswersFromTheTable) {
  volume::DriveTable table;
  for (int32_t i = 0; i < 3; ++i) {
    volume::DriveEntry e;
    e.index = i;
    e.rootText = "card.img#" + std::to_string(i + 1) + ":/";
    e.sourcePath = "/images/card.img";
    table.entries.push_back(e);
  }
  volume::ScanState state;
  DialogsLeftOut host(table, state);
  EXPECT_TRUE(host.KnowsRootTexts());
  EXPECT_EQ(host.FindDrive("card.img#3:/"), 2);
  EXPECT_EQ(host.FindDrive("card.img#4:/"), -1);
  EXPECT_EQ(host.DriveRootText(1), "card.img#2:/");
  EXPECT_EQ(host.DriveRootText(3), "");
  EXPECT_EQ(host.DriveRootText(-1), "");
  state.driveIndex = -1;
  EXPECT_EQ(host.SourceName(), "");
  EXPECT_EQ(host.RelationToSource("/tmp/list.tsv"), platform::SourceRelation::kUnrelated);
  state.driveIndex = 1;
  EXPECT_EQ(host.SourceName(), "/images/card.img");
}

}  // namespace
}  // namespace vellum::app
