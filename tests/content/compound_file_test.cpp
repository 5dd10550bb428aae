#include "content/compound_file.h"

#include <gtest/gtest.h>

#include <string>

#include "content/analyse_cluster.h"
#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;

constexpr uint32_t kEnd = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;

// A compound file built sector by sector: header, then sector n at (n + 1) x 512.
class Compound {
 public:
  explicit Compound(size_t sectors) : bytes_((sectors + 1) * 512, 0) {
    const uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(sig, sig + 8, bytes_.begin());
    PutLe32(bytes_, 0x44, kEnd);  // no DIFAT sector
    for (int i = 0; i < 109; ++i) PutLe32(bytes_, 0x4C + i * 4, kFree);
  }
  void Header(uint64_t off, uint32_t v) { PutLe32(bytes_, off, v); }
  void Entry(uint32_t sector, uint32_t index, uint32_t v) { PutLe32(bytes_, (sector + 1) * 512 + index * 4, v); }
  void FillSector(uint32_t sector, uint32_t v) {
    for (uint32_t i = 0; i < 128; ++i) Entry(sector, i, v);
  }
  void Name(uint32_t sector, uint32_t entry, std::u16string_view name) {
    for (size_t i = 0; i < name.size(); ++i)
      PutLe16(bytes_, (sector + 1) * 512 + entry * 128 + i * 2, name[i]);
  }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

std::vector<testing::RecordedRow> Analyse(const Compound& file, const char* filter = "") {
  ContentVolume v(volume::kFat32, 512, file.Bytes().size() / 512 + 4);
  v.state.options.filter = filter;
  v.Put(2, file.Bytes());
  v.Attach();
  AnalyseClusterContents(v.state, 2, v.Cluster(2));
  return v.rows.rows;
}

uint64_t Size(const std::vector<testing::RecordedRow>& rows) {
  return rows.size() == 1 ? std::stoull(rows[0].Cell(2)) : 0;
}

// Three FAT sectors (0-2), the last one used up to entry 40; directory in sector 3.
Compound ThreeFatSectors() {
  Compound f(8);
  f.Header(0x2C, 3);
  f.Header(0x30, 3);
  for (uint32_t i = 0; i < 3; ++i) f.Header(0x4C + i * 4, i);
  f.FillSector(2, kFree);
  f.Entry(2, 40, kEnd);
  f.Entry(0, 3, kEnd);  // the directory chain ends after sector 3
  f.Name(3, 0, u"Root Entry");
  f.Name(3, 1, u"Workbook");
  return f;
}

TEST(CompoundFile, SizeFromTheLastUsedEntryOfTheLastFatSector) {
  const auto rows = Analyse(ThreeFatSectors());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "不明2.xls");
  EXPECT_EQ(rows[0].Cell(2), "  152576");  // ((3 - 1) x 128 + 40 + 1 + 1) x 512
}

TEST(CompoundFile, FallsBackToTheLargestSizeTheFatCanDescribe) {
  Compound f = ThreeFatSectors();
  f.Header(0x4C, kFree);  // the header's list begins with a free entry
  EXPECT_EQ(Size(Analyse(f)), (3u * 128 + 1) * 512);

  Compound none = ThreeFatSectors();
  none.Header(0x2C, 0);  // no FAT sector claimed: the one read describes the file
  EXPECT_EQ(Size(Analyse(none)), (41u + 1) * 512);
}

TEST(CompoundFile, FollowsTheDifatChain) {
  // 112 FAT sectors: 109 in the header, 3 in DIFAT sector 5, whose link ends the chain.
  Compound f = ThreeFatSectors();
  f.Header(0x2C, 112);
  f.Header(0x44, 5);
  for (uint32_t i = 0; i < 127; ++i) f.Entry(5, i, i < 3 ? 1 + i : kFree);
  f.Entry(5, 127, kEnd);
  f.FillSector(3, kFree);  // the last FAT sector is sector 3: entry 40 used
  f.Entry(3, 40, kEnd);
  f.Name(4, 0, u"WordDocument");
  f.Header(0x30, 4);
  EXPECT_EQ(Size(Analyse(f)), (111u * 128 + 42) * 512);

  f.Entry(5, 127, 5);  // a DIFAT chain that loops: the largest size, quickly
  EXPECT_EQ(Size(Analyse(f)), (112u * 128 + 1) * 512);
}

TEST(CompoundFile, ClassifiesByTheFirstKnownStreamName) {
  const std::pair<std::u16string, const char*> cases[] = {
      {u"Book", "xls"},
      {u"Booklet", "xls"},  // a prefix is enough
      {u"PowerPoint Document", "ppt"},
      {u"\u4840\u3f3f", "msi"},
      {u"book", "ole"},  // case matters
  };
  for (const auto& [name, ext] : cases) {
    Compound f = ThreeFatSectors();
    f.Name(3, 1, std::u16string(8, u'\0'));
    f.Name(3, 2, name);
    const auto rows = Analyse(f);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, std::string("不明2.") + ext);
  }
}

TEST(CompoundFile, TheFilterDecidesAfterClassification) {
  Compound ole = ThreeFatSectors();
  ole.Name(3, 1, u"Nothing");
  EXPECT_EQ(Analyse(ole, "").size(), 1u);
  EXPECT_TRUE(Analyse(ole, "OLE").empty());  // "ole" is no candidate: never analysed
  EXPECT_TRUE(Analyse(ThreeFatSectors(), "DOC").empty());  // analysed, but a spreadsheet
  EXPECT_EQ(Analyse(ThreeFatSectors(), "XLS").size(), 1u);

  Compound next = ThreeFatSectors();  // a second directory sector along the chain
  next.Name(3, 1, u"Nothing");
  next.Entry(0, 3, 4);
  next.Entry(0, 4, kEnd);
  next.Name(4, 0, u"WordDocument");
  EXPECT_EQ(Analyse(next)[0].name, "不明2.doc");
}

// With 4 KiB clusters, the start free, start + 1 in use, start + 2 and + 3 free.
TEST(CompoundFile, ReadsAroundUsedClustersDifferentlyOnNtfsAndFat) {
  for (uint8_t kind : {volume::kNtfs, volume::kFat32}) {
    ContentVolume v(kind, 4096, 16);
    const uint64_t start = 6;
    for (uint64_t k = 0; k < 4; ++k) v.Put(start + k, std::vector<uint8_t>(4096, static_cast<uint8_t>(0x10 + k)));
    v.MarkUsed(start + 1);
    v.Attach();
    CompoundReader reader(v.state, start);
    CompoundSector sector{};
    ASSERT_TRUE(reader.ReadCompoundSector(15, sector));  // offset 8192: k = 2
    EXPECT_EQ(sector[0], kind == volume::kNtfs ? 0x13 : 0x12);
    ASSERT_TRUE(reader.ReadCompoundSector(7, sector));  // offset 4096: k = 1
    EXPECT_EQ(sector[0], 0x12);
    EXPECT_FALSE(reader.ReadCompoundSector(200, sector));  // past the volume
  }
}

}  // namespace
}  // namespace vellum::content
