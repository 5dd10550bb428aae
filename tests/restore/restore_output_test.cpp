#include "restore/restore_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "restore/outcome.h"
#include "restore/restored_file.h"
#include "support/scripted_messages.h"

namespace vellum::restore {
namespace {

namespace fs = std::filesystem;

class Destination : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("vellum-restore-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string Root() const { return root_.string(); }
  void Touch(const std::string& relative) { std::ofstream(root_ / relative) << "x"; }

  fs::path root_;
  testing::ScriptedMessages messages_;
};

TEST_F(Destination, JoinCreatesEveryFolderInOrder) {
  EXPECT_EQ(JoinDestination(Root(), "a/b/c", messages_), Root() + "/a/b/c");
  EXPECT_TRUE(fs::is_directory(root_ / "a" / "b" / "c"));
  EXPECT_EQ(JoinDestination(Root(), "a/b/c", messages_), Root() + "/a/b/c");  // exists already
  // A byte that would be a separator in another code page is part of the name here.
  EXPECT_EQ(JoinDestination(Root(), "表\\x", messages_), Root() + "/表\\x");
  EXPECT_TRUE(fs::is_directory(root_ / "表\\x"));
  Touch("file");
  EXPECT_EQ(JoinDestination(Root(), "file/sub", messages_), "");  // a file where a folder must go
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Destination, NamesFromDiskNeverLeaveTheDestination) {
  // A name of this run's own beside the destination: the temporary folder is shared.
  const std::string escaped = root_.filename().string() + "-escaped";
  for (const std::string& relative : {std::string(".."), "a/../../" + escaped, std::string("."), std::string("a//b"),
                                     std::string(), std::string("a/.")}) {
    SCOPED_TRACE(relative);
    EXPECT_EQ(JoinDestination(Root(), relative, messages_), "");
  }
  EXPECT_FALSE(fs::exists(root_.parent_path() / escaped));
  EXPECT_FALSE(IsSafeComponent(std::string("a\0b", 3)));
  EXPECT_FALSE(IsSafeComponent("a/b"));
  EXPECT_TRUE(IsSafeComponent("..."));
}

TEST_F(Destination, OverlongPathsAreReportedAndRefused) {
  const std::string longName(256, 'n');
  EXPECT_EQ(JoinDestination(Root(), longName, messages_), "");
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0], kPathTooLongMessage);
  EXPECT_FALSE(EnsureFolder(Root() + "/" + longName, messages_));
  EXPECT_TRUE(EnsureFolder(Root() + "/" + std::string(255, 'n'), messages_));
  std::string deep = Root();
  while (deep.size() + 200 <= kMaxPathBytes) deep += "/" + std::string(199, 'd');
  EXPECT_FALSE(EnsureFolder(deep + "/" + std::string(200, 'e'), messages_));
  EXPECT_EQ(messages_.shown.size(), 3u);
  // A name longer than the system holds is named as that, not as a long path.
  FolderNotes notes;
  EXPECT_EQ(JoinDestination(Root(), "a/" + longName, messages_, &notes), "");
  EXPECT_EQ(notes.reason, kReasonNameTooLong);
  EXPECT_EQ(JoinDestination(deep, std::string(200, 'e'), messages_, &notes), "");
  EXPECT_EQ(notes.reason, kReasonPathTooLong);
}

// Windows counts its limits in UTF-16 units and splits at '\\' as well as
// '/': a long destination typed with backslashes is many short names, and a
// Japanese name of 255 characters (765 bytes) is still one name it takes.
TEST(PathLimits, EachSystemCountsAndSplitsItsOwnWay) {
  using platform::PathStyle;
  std::string typed = "C:";
  for (int i = 1; i <= 9; ++i) typed += "\\folder-of-a-long-destination-path-" + std::to_string(i);
  ASSERT_GT(typed.size(), 296u);
  EXPECT_TRUE(PathFitsIn(PathStyle::kWindows, typed + "/old-project\\$HOTOS/notes.txt"));
  EXPECT_FALSE(PathFitsIn(PathStyle::kPosix, typed));  // one 300-byte name to Linux

  std::string kana;
  for (int i = 0; i < 255; ++i) kana += "あ";
  EXPECT_TRUE(PathFitsIn(PathStyle::kWindows, "C:\\out\\" + kana));
  EXPECT_FALSE(PathFitsIn(PathStyle::kWindows, "C:\\out\\" + kana + "あ"));
  EXPECT_FALSE(PathFitsIn(PathStyle::kPosix, "/out/" + kana));
  // A character beyond the basic plane is two units; continuation bytes none.
  EXPECT_EQ(platform::LengthIn(PathStyle::kWindows, "a\xF0\x9F\x93\xB7あ"), 4u);
  EXPECT_EQ(platform::LengthIn(PathStyle::kPosix, "a\xF0\x9F\x93\xB7あ"), 8u);
  std::string whole = "C:";
  while (whole.size() + 200 <= kMaxWindowsPathUnits) whole += "\\" + std::string(199, 'p');
  whole += "\\" + std::string(kMaxWindowsPathUnits - whole.size() - 1, 'q');
  EXPECT_TRUE(PathFitsIn(PathStyle::kWindows, whole));
  EXPECT_FALSE(PathFitsIn(PathStyle::kWindows, whole + "q"));
}

TEST_F(Destination, UniqueNamesCountUpBeforeTheExtension) {
  Touch("report.txt");
  EXPECT_EQ(MakeUniqueName(Root() + "/report.txt"), Root() + "/report_1.txt");
  Touch("report_1.txt");
  EXPECT_EQ(MakeUniqueName(Root() + "/report.txt"), Root() + "/report_2.txt");
  EXPECT_EQ(MakeUniqueName(Root() + "/fresh.txt"), Root() + "/fresh.txt");
  fs::create_directories(root_ / "data.old");
  Touch("data.old/README");
  EXPECT_EQ(MakeUniqueName(Root() + "/data.old/README"), Root() + "/data.old/README_1");
  Touch(".profile");
  EXPECT_EQ(MakeUniqueName(Root() + "/.profile"), Root() + "/.profile_1");
}

TEST_F(Destination, TimesOfFilesAndFolders) {
  Touch("f");
  fs::create_directories(root_ / "d");
  const timespec when{1714979290, 0};  // 2024-05-06 07:08:10 UTC
  EXPECT_TRUE(SetFileTimes(Root() + "/f", std::nullopt, when));
  EXPECT_TRUE(SetFileTimes(Root() + "/d", when, when));
  struct stat st {};
  ASSERT_EQ(::stat((root_ / "f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, when.tv_sec);
  ASSERT_EQ(::stat((root_ / "d").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, when.tv_sec);
  EXPECT_FALSE(SetFileTimes(Root() + "/missing", std::nullopt, when));
}

// A link anywhere below the root, to a folder that exists (holding the rest
// of the path) or to none, is never followed: by the folders made, the file
// written, or the folder time set. It is named in the reason.
TEST_F(Destination, LinksBelowTheRootAreNeverFollowedAtAnyDepth) {
  const fs::path away = root_.parent_path() / (root_.filename().string() + "-away");
  for (const bool targetExists : {true, false})
    for (const std::string link : {"a", "a/b", "a/b/c"}) {
      SCOPED_TRACE(link + (targetExists ? " to a folder" : " to nothing"));
      fs::remove_all(root_);
      fs::remove_all(away);
      fs::create_directories((root_ / link).parent_path());
      if (targetExists) fs::create_directories(away / "b" / "c" / "d");
      fs::create_symlink(away, root_ / link);
      restore::Destination destination(Root());
      Outcomes outcomes;
      outcomes.SetDestination(&destination);
      EXPECT_EQ(JoinRecorded(Root(), "a/b/c/d", messages_, outcomes, "item"), "");
      ASSERT_EQ(outcomes.Items().size(), 1u);
      EXPECT_EQ(outcomes.Items()[0].reason, "復元先にあるリンク (" + Root() + "/" + link + ")");
      EXPECT_EQ(outcomes.WithReason(kReasonLink), 1u);
      RestoredFile file;
      EXPECT_FALSE(file.Create(Root() + "/a/b/c/d", "x.txt", &destination));
      if (targetExists) fs::create_directories(root_ / "a" / "b" / "c" / "d");  // through the link
      EXPECT_FALSE(SetFolderTime(&destination, Root() + "/a/b/c/d", timespec{86400, 0}));
      if (targetExists) {
        EXPECT_TRUE(fs::is_empty(away / "b" / "c" / "d"));
        struct stat st {};
        ASSERT_EQ(::stat((away / "b" / "c" / "d").c_str(), &st), 0);
        EXPECT_NE(st.st_mtim.tv_sec, 86400);
      } else {
        EXPECT_FALSE(fs::exists(away));
      }
    }
  fs::remove_all(away);
}

// The root itself may be reached through a link: the user named it.
TEST_F(Destination, TheRootMayBeALinkAndFoldersBelowItAreReusedAndMade) {
  const fs::path alias = root_.parent_path() / (root_.filename().string() + "-alias");
  fs::remove(alias);
  fs::create_symlink(root_, alias);
  restore::Destination destination(alias.string());
  std::string reached;
  ASSERT_NE(destination.Folder(alias.string() + "/x/y", true, &reached, nullptr), nullptr);
  EXPECT_EQ(reached, alias.string() + "/x/y");
  EXPECT_TRUE(fs::is_directory(root_ / "x" / "y"));
  ASSERT_NE(destination.Folder(alias.string() + "/x/y/z", true, &reached, nullptr), nullptr);  // from the last one
  ASSERT_NE(destination.Folder(alias.string() + "/x", false, &reached, nullptr), nullptr);
  EXPECT_EQ(destination.Folder(root_.string() + "/x", false, &reached, nullptr), nullptr);  // not below the root
  fs::remove(alias);
}

// Control characters in a name from the disk take their visible forms at
// the destination; other names stay as they are.
TEST_F(Destination, ControlCharactersInNamesTakeVisibleForms) {
  EXPECT_EQ(DestinationName("a\tb\x1B[2J\x7F.txt"), "a\u2409b\u241B[2J\u2421.txt");
  EXPECT_EQ(DestinationName("写真 1.jpg"), "写真 1.jpg");
  EXPECT_EQ(JoinDestination(Root(), "new\nline", messages_), Root() + "/new\u240Aline");
  EXPECT_TRUE(fs::is_directory(root_ / "new\u240Aline"));
}

// A damaged file's check names its byte offset, so a card of many damaged
// files has as many checks: each item keeps its own, past 65,536 of them.
TEST(Outcomes, EveryItemKeepsItsOwnCheckHoweverManyThereAre) {
  Outcomes outcomes;
  constexpr size_t kItems = 70000;
  for (size_t i = 0; i < kItems; ++i) {
    outcomes.SetCurrentRow(i + 1, "card:/DCIM/" + std::to_string(i) + ".JPG", "intact");
    outcomes.SetCurrentCheck("damaged from byte " + std::to_string(i));
    outcomes.Restored("/out/DCIM/" + std::to_string(i) + ".JPG", false);
  }
  EXPECT_EQ(outcomes.ItemAt(kItems - 1).check, "damaged from byte 69999");
  EXPECT_EQ(outcomes.ItemAt(kItems - 1).state, "intact");
}

}  // namespace
}  // namespace vellum::restore
