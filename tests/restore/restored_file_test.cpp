#include "restore/restored_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "restore/restore_output.h"

namespace vellum::restore {
namespace {

namespace fs = std::filesystem;

class RestoredFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vellum-restored-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string Root() const { return root_.string(); }
  std::string Read(const std::string& name) const {
    std::ifstream in(root_ / name, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }

  fs::path root_;
  Outcomes outcomes_;
};

const uint8_t kBytes[] = {'d', 'a', 't', 'a'};

// Nothing at the destination is ever replaced or followed: an existing file
// and a link someone left there both make the next name be taken.
TEST_F(RestoredFileTest, NamesAreNewAndLinksAreNeverFollowed) {
  std::ofstream(root_ / "a.txt") << "mine";
  fs::create_symlink("/etc/passwd-not-ours", root_ / "a_1.txt");
  RestoredFile file;
  ASSERT_TRUE(file.Create(Root(), "a.txt"));
  EXPECT_EQ(file.Path(), Root() + "/a_2.txt");
  ASSERT_TRUE(file.Write(kBytes));
  const timespec when{1'000'000'000, 0};
  EXPECT_TRUE(file.Finish(outcomes_, when));
  EXPECT_EQ(Read("a.txt"), "mine");
  EXPECT_EQ(Read("a_2.txt"), "data");
  struct stat st {};
  ASSERT_EQ(::stat(file.Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, when.tv_sec);
  EXPECT_TRUE(outcomes_.AllIntact());
  EXPECT_EQ(outcomes_.Files(), 1u);
}

// A file that is given up (Cancel) or never finished is gone; one whose
// parts could not be read is kept, with those byte ranges recorded as one
// range where they touch.
TEST_F(RestoredFileTest, AbandonedFilesGoAndUnreadablePartsAreNamed) {
  {
    RestoredFile cancelled;
    ASSERT_TRUE(cancelled.Create(Root(), "half.bin"));
    ASSERT_TRUE(cancelled.Write(kBytes));
    cancelled.Abandon();
    RestoredFile forgotten;
    ASSERT_TRUE(forgotten.Create(Root(), "left.bin"));
  }
  EXPECT_FALSE(fs::exists(root_ / "half.bin"));
  EXPECT_FALSE(fs::exists(root_ / "left.bin"));

  RestoredFile gaps;
  ASSERT_TRUE(gaps.Create(Root(), "gaps.bin"));
  const uint8_t zeros[8] = {};
  ASSERT_TRUE(gaps.Write(kBytes));
  ASSERT_TRUE(gaps.WriteUnreadable(zeros));
  ASSERT_TRUE(gaps.WriteUnreadable(zeros));
  ASSERT_TRUE(gaps.Write(kBytes));
  ASSERT_TRUE(gaps.Finish(outcomes_, std::nullopt));
  ASSERT_EQ(outcomes_.Items().size(), 1u);
  const ItemOutcome& item = outcomes_.Items()[0];
  EXPECT_EQ(item.result, ItemResult::kZeroFilled);
  ASSERT_EQ(item.zeroFilled.size(), 1u);
  EXPECT_EQ(item.zeroFilled[0].offset, 4u);
  EXPECT_EQ(item.zeroFilled[0].length, 16u);
  EXPECT_EQ(fs::file_size(root_ / "gaps.bin"), 24u);
  EXPECT_FALSE(outcomes_.AllIntact());
  EXPECT_NE(DetailLines(outcomes_, 10).find("gaps.bin: 読めない部分を 0 で埋めた (バイト 4-19)"), std::string::npos);
}

// Until it is finished a file is only found under a name of its own, so a
// restore killed half way leaves no half file under a real name; finished,
// it takes its name without replacing one that appeared in the meantime.
TEST_F(RestoredFileTest, AFileTakesItsNameOnlyWhenCompleteAndNeverReplacesOne) {
  RestoredFile file;
  ASSERT_TRUE(file.Create(Root(), "photo.jpg"));
  ASSERT_TRUE(file.Write(kBytes));
  EXPECT_FALSE(fs::exists(root_ / "photo.jpg"));
  EXPECT_TRUE(fs::exists(root_ / (std::string(kPartialFilePrefix) + "1")));
  std::ofstream(root_ / "photo.jpg") << "arrived meanwhile";
  ASSERT_TRUE(file.Finish(outcomes_, timespec{1'000'000'000, 0}));
  EXPECT_EQ(file.Path(), Root() + "/photo_1.jpg");
  EXPECT_EQ(Read("photo.jpg"), "arrived meanwhile");
  EXPECT_EQ(Read("photo_1.jpg"), "data");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(root_)) ++entries;
  EXPECT_EQ(entries, 2u);  // no partial file left
}

// A folder that cannot be made is a failure with the system's reason.
TEST_F(RestoredFileTest, AFileThatCannotBeCreatedNamesTheReason) {
  RestoredFile file;
  EXPECT_FALSE(file.Create(Root() + "/no-such-folder", "x.bin"));
  EXPECT_EQ(file.Error(), "ファイルまたはフォルダが見つかりません");
  EXPECT_EQ(file.Path(), Root() + "/no-such-folder/x.bin");
}

TEST(FullWidthNames, OnlyTheRefusedCharactersChange) {
  EXPECT_EQ(FullWidthName("<不明>"), "＜不明＞");
  EXPECT_EQ(FullWidthName("a:b\"c\\d|e?f*g"), "a：b＂c＼d｜e？f＊g");
  EXPECT_EQ(FullWidthName("plain name.txt"), "plain name.txt");
  EXPECT_TRUE(HasRefusedCharacters("<不明>"));
  EXPECT_FALSE(HasRefusedCharacters("写真 2024.jpg"));
  // What Windows refuses besides: trailing dots and spaces, device names.
  EXPECT_EQ(FullWidthName("notes."), "notes．");
  EXPECT_EQ(FullWidthName("draft. "), "draft．　");
  EXPECT_EQ(FullWidthName("con.txt"), "ｃon.txt");
  EXPECT_EQ(FullWidthName("COM1"), "ＣOM1");
  EXPECT_TRUE(HasRefusedCharacters("LPT9.log"));
  EXPECT_FALSE(HasRefusedCharacters("CONFIG.SYS"));
  EXPECT_FALSE(HasRefusedCharacters("COM10"));
  EXPECT_FALSE(HasRefusedCharacters(".."));
}

}  // namespace
}  // namespace vellum::restore
