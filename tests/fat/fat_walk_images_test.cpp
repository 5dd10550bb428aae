// The FAT walk on the committed images, compared entry by entry with what The
// Sleuth Kit reads from the same images (fls -rd -p for the deleted entries,
// istat for each entry's size, name, time and first sector).
#include <gtest/gtest.h>

#include <algorithm>

#include "support/open_image.h"
#include "fat/fat_walk.h"
#include "support/recording_rows.h"
#include "support/tsk.h"
#include "volume/sector_io.h"

namespace vellum::fat {
namespace {

using testing::RecordedRow;

using testing::TskEntry;
using testing::TskNormal;

struct Walked {
  volume::ScanState state;
  testing::RecordingRows rows;
};

void Walk(const std::string& image, bool zeroSize, bool inUse, Walked& w) {
  std::string error;
  ASSERT_TRUE((error = testing::OpenImage(image, w.state)).empty()) << error;
  w.state.rootPath = "img:/";
  w.state.options.zeroSize = zeroSize;
  w.state.options.inUse = inUse;
  w.state.rows = &w.rows;
  ASSERT_TRUE(WalkFatExfat(w.state));
}

bool Matches(const RecordedRow& row, const TskEntry& e) {
  const std::string folder = row.Cell(1).substr(std::string("img:/").size());
  return TskNormal(folder) == TskNormal(e.folder) &&
         (TskNormal(row.name) == TskNormal(e.name) || TskNormal(row.name) == TskNormal(e.shortName));
}

class FatImage : public ::testing::TestWithParam<const char*> {
 protected:
  std::string Path() const { return std::string(VELLUM_TEST_IMAGES) + "/" + GetParam() + ".img"; }
};

// Every image, the code page 932 one included, against The Sleuth Kit.
class TskImage : public FatImage {};

TEST_P(TskImage, ListsWhatTheSleuthKitSeesWithEveryOptionOn) {
  Walked w;
  Walk(Path(), true, true, w);
  const std::vector<TskEntry> tsk = testing::ReadTskDeleted(Path());
  ASSERT_FALSE(tsk.empty()) << "fls found nothing; is sleuthkit installed?";
  std::vector<bool> used(w.rows.rows.size());
  for (const TskEntry& e : tsk) {
    SCOPED_TRACE(e.folder + "/" + e.name);
    auto it = std::find_if(w.rows.rows.begin(), w.rows.rows.end(), [&](const RecordedRow& r) {
      return !used[&r - w.rows.rows.data()] && Matches(r, e);
    });
    ASSERT_NE(it, w.rows.rows.end()) << "not listed";
    used[it - w.rows.rows.begin()] = true;
    EXPECT_EQ(it->dataWord, e.directory ? 1u : 0u);
    if (!e.directory) {
      EXPECT_EQ(it->Cell(2), e.size);
    }
    EXPECT_EQ(it->Cell(4), e.written);
    const uint64_t cluster = std::stoull(it->Cell(5));
    if (e.hasSectors) {
      EXPECT_EQ(volume::ClusterToSector(w.state, cluster), e.firstSector);
    } else {
      EXPECT_EQ(cluster, 0u);
    }
  }
  EXPECT_EQ(w.rows.rows.size(), tsk.size()) << "rows The Sleuth Kit does not show";
  EXPECT_EQ(w.rows.shownCount, w.rows.rows.size());
}

TEST_P(FatImage, DefaultOptionsDropEmptyFilesAndReusedClusters) {
  Walked all, plain;
  Walk(Path(), true, true, all);
  Walk(Path(), false, false, plain);
  size_t expected = 0;
  for (const RecordedRow& r : all.rows.rows) {
    const bool empty = r.dataWord == 0 && r.Cell(2) == "0";
    const bool reused = volume::ReadFatEntry(all.state, all.state.fat, std::stoull(r.Cell(5))) != 0;
    if (empty || reused) {
      EXPECT_TRUE(std::none_of(plain.rows.rows.begin(), plain.rows.rows.end(),
                               [&](const RecordedRow& p) { return p.Cell(1) == r.Cell(1) && p.name == r.name; }))
          << r.name;
    } else {
      ++expected;
    }
  }
  EXPECT_EQ(plain.rows.rows.size(), expected);
  // The reused file of the images is one of those dropped.
  EXPECT_TRUE(std::any_of(all.rows.rows.begin(), all.rows.rows.end(),
                          [](const RecordedRow& r) { return r.name == "$LD.BIN"; }));
}

TEST(FatJapaneseNames, DeletedEntriesKeepTheirLongNames) {
  Walked w;
  Walk(std::string(VELLUM_TEST_IMAGES) + "/fat16-cp932.img", false, false, w);
  std::vector<std::string> listed;
  for (const RecordedRow& r : w.rows.rows) listed.push_back(r.Cell(1) + "|" + r.name);
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "img:/|削除する日本語のフォルダ",
                        "img:/|削除した日本語のファイル.txt",
                        "img:/日本語の長いフォルダ名|削除した写真アルバム.jpg",
                        "img:/削除する日本語のフォルダ|中にあった長いメモ.txt",
                    }));
}

// Short names as a Japanese Windows writes them, with trail bytes 0x5C and
// 0x7C: every deleted file is listed by its long name (fls lists only the one
// without such a byte).
TEST(FatImages, DeletedNamesWithBackslashTrailBytesAreListed) {
  Walked w;
  Walk(std::string(VELLUM_TEST_IMAGES) + "/fat16-cp932-trail.img", false, false, w);
  std::vector<std::string> listed;
  for (const RecordedRow& r : w.rows.rows) listed.push_back(r.name);
  EXPECT_EQ(listed, (std::vector<std::string>{"A表の長いファイル名.txt", "2ソフトの説明書きです.txt",
                                              "Aポイントの長い説明.txt", "表計算の集計結果.txt",
                                              "普通の日本語の名前.txt"}));
}

TEST_P(FatImage, FilterMatchesLongNamesAndTheDollarPrefix) {
  Walked w;
  w.state.options.filter = "BIG";
  Walk(Path(), false, false, w);
  ASSERT_EQ(w.rows.rows.size(), 1u);
  EXPECT_EQ(w.rows.rows[0].name, "big-deleted.bin");
  Walked prefix;
  // The deleted short name $ELETED.TXT matches with its '$' in place of the
  // filter's first letter; todo-deleted.txt matches anywhere in the name.
  prefix.state.options.filter = "DELETED.T";
  Walk(Path(), false, false, prefix);
  ASSERT_EQ(prefix.rows.rows.size(), 2u);
  EXPECT_EQ(prefix.rows.rows[0].name, "$ELETED.TXT");
  EXPECT_EQ(prefix.rows.rows[1].name, "todo-deleted.txt");
}

std::string ParamName(const ::testing::TestParamInfo<const char*>& info) {
  std::string n = info.param;
  std::replace(n.begin(), n.end(), '-', '_');
  return n;
}

INSTANTIATE_TEST_SUITE_P(Images, FatImage, ::testing::Values("fat12", "fat16", "fat32-512", "fat32-4k"),
                         ParamName);
INSTANTIATE_TEST_SUITE_P(Images, TskImage,
                         ::testing::Values("fat12", "fat16", "fat32-512", "fat32-4k", "fat16-cp932"), ParamName);

}  // namespace
}  // namespace vellum::fat
