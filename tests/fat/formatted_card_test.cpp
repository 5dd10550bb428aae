// Quick-formatted camera cards: the photos of DCIM/100CAMERA are found only
// through orphaned directory clusters. Whatever finds them, each photo is
// listed once, below the 100CAMERA folder that the DCIM cluster names, and a
// restore of the whole list writes each photo once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/restore_command.h"
#include "support/command_fixture.h"
#include "support/fixture_bytes.h"

namespace vellum::fat {
namespace {

namespace fs = std::filesystem;
using testing::Command;
using testing::RowsNamed;
using testing::TempDir;

class WholeVolume : public ClusterRangeAsker {
 public:
  bool RunClusterRangeDialog(uint64_t&, uint64_t&) override { return true; }
};

std::string Image(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

std::string PhotoName(int n) { return "DSC_000" + std::to_string(n) + ".JPG"; }

struct Search : Command {
  WholeVolume range;
  Search(const std::string& image, bool thorough, bool freeScan) : Command(image) {
    context.options.thorough = thorough;
    context.options.analyse = true;
    context.rangeAsker = &range;
    messages.answers = {freeScan ? MessageAnswer::Yes : MessageAnswer::No};
    EXPECT_EQ(app::OnSearch(context), 1);
  }
};

// The files below `root`, by their path under it.
std::map<std::string, std::string> FilesBelow(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = testing::ReadFile(e.path().string());
  return files;
}

class FormattedCard : public ::testing::TestWithParam<std::tuple<const char*, bool, bool>> {};

TEST_P(FormattedCard, EachPhotoListedOnceBelowItsFolderAndRestoredOnce) {
  const auto [image, thorough, freeScan] = GetParam();
  Search search(Image(image), thorough, freeScan);
  const std::string root = search.state.rootPath;
  ASSERT_EQ(RowsNamed(search.list, "100CAMERA").size(), 1u);
  EXPECT_EQ(search.list.Cell(RowsNamed(search.list, "100CAMERA")[0], 1), root + "<不明>");
  for (int n = 1; n <= 6; ++n) {
    const std::vector<size_t> rows = RowsNamed(search.list, PhotoName(n));
    ASSERT_EQ(rows.size(), 1u) << PhotoName(n);
    EXPECT_EQ(search.list.Cell(rows[0], 1), root + "<不明>/100CAMERA") << PhotoName(n);
    EXPECT_EQ(search.list.Cell(rows[0], 2), std::to_string(9000 + n * 2311));
  }

  TempDir out;
  Command restore(Image(image));
  restore.context.options.thorough = thorough;
  app::RestoreSummary summary;
  ASSERT_EQ(app::OnRestore(restore.context, {out.Path("all"), &search.list, {}, 0}, summary), 1);
  const std::map<std::string, std::string> files = FilesBelow(out.Path("all"));
  std::set<std::string> contents;
  for (const auto& [path, bytes] : files) contents.insert(bytes);
  EXPECT_EQ(files.size(), 6u) << app::SummaryText(summary);
  EXPECT_EQ(contents.size(), 6u);
  for (int n = 1; n <= 6; ++n) {
    const auto found = files.find("<不明>/100CAMERA/" + PhotoName(n));
    ASSERT_NE(found, files.end()) << PhotoName(n);
    EXPECT_EQ(found->second.size(), static_cast<size_t>(9000 + n * 2311));
    EXPECT_EQ(found->second.substr(0, 2), "\xFF\xD8");
  }
  // The content rows were the photos' data again, written once by name.
  if (freeScan) {
    EXPECT_EQ(summary.sameData, 6u);
  }
}

INSTANTIATE_TEST_SUITE_P(Cards, FormattedCard,
                         ::testing::Values(std::tuple{"camera-fat32-formatted.img", true, false},
                                           std::tuple{"camera-fat32-formatted.img", false, true},
                                           std::tuple{"camera-fat32-formatted.img", true, true},
                                           std::tuple{"camera-exfat-formatted.img", true, false},
                                           std::tuple{"camera-exfat-formatted.img", false, true},
                                           std::tuple{"camera-exfat-formatted.img", true, true}));

// The thorough restore without a list puts the photos below their folder too.
TEST(FormattedCardWalk, ThoroughRestoreWritesEachPhotoOnceBelowItsFolder) {
  for (const char* image : {"camera-fat32-formatted.img", "camera-exfat-formatted.img"}) {
    SCOPED_TRACE(image);
    TempDir out;
    Command restore(Image(image));
    restore.context.options.thorough = true;
    app::RestoreSummary summary;
    ASSERT_EQ(app::OnRestore(restore.context, {out.Path("walk"), nullptr, {}, 0}, summary), 1);
    const std::map<std::string, std::string> files = FilesBelow(out.Path("walk"));
    EXPECT_EQ(files.size(), 6u) << app::SummaryText(summary);
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(files.count("<不明>/100CAMERA/" + PhotoName(n)), 1u) << PhotoName(n);
  }
}

// A short entry planted in a free cluster of the card, pointing at the data
// of DSC_0001.JPG (cluster 5), with one thing no real entry holds.
std::string Slot(std::string_view name11, uint16_t date, uint32_t size, uint32_t cluster = 5) {
  std::string e(32, '\0');
  e.replace(0, 11, name11);
  e[11] = 0x20;
  const auto put16 = [&](size_t at, uint16_t v) {
    e[at] = static_cast<char>(v & 0xFF);
    e[at + 1] = static_cast<char>(v >> 8);
  };
  put16(20, static_cast<uint16_t>(cluster >> 16));
  put16(22, 0x3905);  // 07:08:10
  put16(24, date);
  put16(26, static_cast<uint16_t>(cluster & 0xFFFF));
  for (int i = 0; i < 4; ++i) e[28 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  return e;
}

TEST(FormattedCardOrphanRule, PlantedImpossibleSlotsAreNotListed) {
  TempDir dir;
  const std::string copy = dir.Path("card.img");
  fs::copy_file(Image("camera-fat32-formatted.img"), copy);
  uint64_t at = 0, clusterBytes = 0, lastCluster = 0;
  {
    Search probe(copy, false, false);
    const volume::ScanState& s = probe.state;
    clusterBytes = s.clusterBytes;
    lastCluster = s.lastCluster;
    at = (s.firstDataSector + (lastCluster - 100 - 2) * s.sectorsPerCluster) * s.bytesPerSector;
  }
  const uint16_t may2024 = (44 << 9) | (5 << 5) | 6, march2085 = (105 << 9) | (3 << 5) | 1;
  const std::string slots = Slot("GOOD    JPG", may2024, 11311) + Slot("FUTURE  JPG", march2085, 11311) +
                            Slot("Lower   JPG", may2024, 11311) + Slot("CTRL\x01   JPG", may2024, 11311) +
                            Slot("PASTEND JPG", may2024, static_cast<uint32_t>(clusterBytes * 10),
                                 static_cast<uint32_t>(lastCluster - 5)) +
                            Slot("SPLIT  \x8E\xCA\x41\x41", may2024, 11311) + [&] {
                              std::string e = Slot("FLAGS   JPG", may2024, 11311);
                              e[12] = 0x41;  // case flags no driver writes: bytes of a picture
                              return e;
                            }();
  {
    std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(at));
    f.write(slots.data(), static_cast<std::streamsize>(slots.size()));
  }
  Search search(copy, false, true);
  EXPECT_EQ(RowsNamed(search.list, "GOOD.JPG").size(), 1u);
  for (size_t row = 0; row < search.list.RowCount(); ++row) {
    const std::string_view name = search.list.Cell(row, 0);
    for (const char* planted : {"FUTURE", "Lower", "CTRL", "PASTEND", "SPLIT", "FLAGS"})
      EXPECT_FALSE(name.starts_with(planted)) << name;
  }
  EXPECT_EQ(RowsNamed(search.list, "DSC_0001.JPG").size(), 1u);
}

}  // namespace
}  // namespace vellum::fat
