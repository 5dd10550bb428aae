#include "app/wipe_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/command_fixture.h"
#include "support/run_command.h"

namespace vellum::app {
namespace {

namespace fs = std::filesystem;
using testing::Command;
using testing::TempDir;

std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// Every live file as The Sleuth Kit reads it: "path bytes" lines.
std::string LiveFiles(const std::string& image) {
  std::istringstream lines(testing::RunCommand("fls -r -u -F -p '" + image + "'"));
  std::string all;
  for (std::string line; std::getline(lines, line);) {
    const size_t tab = line.find('\t'), colon = line.find(':');
    const std::string inode = line.substr(line.rfind(' ', colon) + 1, colon - line.rfind(' ', colon) - 1);
    all += line.substr(tab + 1) + " " + testing::RunCommand("icat '" + image + "' " + inode) + "\n";
  }
  return all;
}

// Cancel is pressed once the free-space pass has moved `after` clusters on.
class CancelInFreeSpacePass : public Progress {
 public:
  explicit CancelInFreeSpacePass(uint64_t after, int* phases) : after_(after), phases_(phases) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override { ++*phases_; }
  void ShowFileLabel() override {}
  // The third phase of clusters is the free-space pass (orphans, data, free space).
  int Update(uint64_t current) override { return *phases_ < 3 || current < after_; }
  int PumpAndCheckCancel() override { return 0; }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}

 private:
  uint64_t after_;
  int* phases_;
};

TEST(WipeCommand, TheFreeSpaceQuestionComesSecondAndDefaultsToNo) {
  TempDir dir;
  const std::string card = dir.Path("card.img");
  fs::copy_file(Image("camera-fat32.img"), card);
  Command wipe(card);
  wipe.messages.answers = {MessageAnswer::Yes};  // the first question only
  WipeSummary summary;
  ASSERT_EQ(OnCompleteDeletion(wipe.context, &summary), 1);
  ASSERT_EQ(wipe.messages.shown.size(), 3u);
  EXPECT_EQ(wipe.messages.shown[0].rfind(kWipeQuestion, 0), 0u);
  EXPECT_EQ(wipe.messages.shown[1], kWipeFreeSpaceQuestion);
  EXPECT_EQ(wipe.messages.shown[2], std::string(kWipeDoneMessage) + "\n\n" + WipeCountsText(summary));
  EXPECT_EQ(summary.entriesOverwritten, 5u);
  // The five deleted photos, 9002 + 10503 + 13505 + 18008 + 19509 bytes in 512-byte clusters.
  EXPECT_EQ(summary.dataClusters, 18u + 21 + 27 + 36 + 39);
  EXPECT_EQ(summary.freeClusters, 0u);
}

TEST(WipeCommand, CancellingTheFreeSpacePassSaysWhereItStoppedAndKeepsWhatWasDone) {
  TempDir dir;
  const std::string card = dir.Path("card.img");
  fs::copy_file(Image("camera-exfat.img"), card);
  const std::string live = LiveFiles(card);
  int phases = 0;
  Command wipe(card);
  wipe.messages.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
  wipe.context.newProgress = [&] { return std::make_unique<CancelInFreeSpacePass>(3000, &phases); };
  WipeSummary summary;
  EXPECT_EQ(OnCompleteDeletion(wipe.context, &summary), 0);
  EXPECT_TRUE(summary.cancelled);
  EXPECT_GE(summary.stoppedAtCluster, 3000u);
  EXPECT_GT(summary.freeClusters, 0u);
  EXPECT_GT(summary.dataClusters, 0u);
  const std::string& said = wipe.messages.shown.back();
  EXPECT_EQ(said.rfind(kWipeCancelledMessage, 0), 0u) << said;
  EXPECT_NE(said.find("クラスタ " + std::to_string(summary.stoppedAtCluster)), std::string::npos) << said;
  EXPECT_EQ(said.find(kWipeDoneMessage), std::string::npos);
  EXPECT_EQ(LiveFiles(card), live);
}

// Entries are hostile too: a size past the volume's end and a first cluster
// inside a live photo make a run that covers live data, which stays as it is.
TEST(WipeCommand, ARunThroughLiveDataOverwritesOnlyItsFreeClusters) {
  TempDir dir;
  const std::string card = dir.Path("card.img");
  fs::copy_file(Image("camera-fat32.img"), card);
  std::string bytes = Bytes(card);
  const size_t live = bytes.find("IMG_0001JPG"), huge = bytes.find("\xE5MG_0002JPG"), into = bytes.find("\xE5MG_0003JPG");
  ASSERT_NE(live, std::string::npos);
  ASSERT_NE(huge, std::string::npos);
  ASSERT_NE(into, std::string::npos);
  for (size_t i = 28; i < 32; ++i) bytes[huge + i] = '\xFF';
  for (size_t i : {20, 21, 26, 27}) bytes[into + i] = bytes[live + i];  // photo 1's first cluster
  for (size_t i = 28; i < 32; ++i) bytes[into + i] = bytes[huge + i];  // and a size as large as can be
  bytes[into + 31] = '\x00';
  bytes[into + 30] = '\x40';  // 4 MiB: through photo 1 and the free clusters after it
  std::ofstream(card, std::ios::binary) << bytes;
  const std::string liveBefore = LiveFiles(card);
  Command wipe(card);
  wipe.messages.answers = {MessageAnswer::Yes};
  WipeSummary summary;
  ASSERT_EQ(OnCompleteDeletion(wipe.context, &summary), 1);
  EXPECT_GT(summary.dataClusters, 0u);
  EXPECT_EQ(LiveFiles(card), liveBefore);
}

}  // namespace
}  // namespace vellum::app
