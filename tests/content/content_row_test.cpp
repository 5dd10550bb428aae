#include "content/content_row.h"

#include <gtest/gtest.h>

#include "content/analyse_cluster.h"
#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;

TEST(NameFilter, AdmitsThroughTheExtensionOnly) {
  ScanState s;
  EXPECT_TRUE(PassesNameFilter(s, "jpg"));
  for (const char* filter : {"JPG", ".JPG", "PG"}) {
    s.options.filter = filter;
    EXPECT_TRUE(PassesNameFilter(s, "jpg")) << filter;
  }
  s.options.filter = "PHOTO.JPG";  // a filter meant for a name admits nothing found here
  EXPECT_FALSE(PassesNameFilter(s, "jpg"));
  s.options.filter = ".";
  EXPECT_TRUE(PassesNameFilter(s, ""));  // a RIFF of unknown form
}

TEST(ContentRow, ClusterGoesToColumnFiveOrSixOnNtfs) {
  for (uint8_t kind : {volume::kFat32, volume::kNtfs}) {
    ContentVolume v(kind, 512, 4);
    v.state.foundCount = 2;
    v.state.rowCount = 2;
    v.rows.rows.resize(2);
    AddContentRow(v.state, "jpg", 12345, 10002);
    ASSERT_EQ(v.rows.rows.size(), 3u);
    const auto& row = v.rows.rows[2];
    EXPECT_EQ(row.name, "不明12345.jpg");
    EXPECT_EQ(row.Cell(1), "mem.img:/<不明>");
    EXPECT_EQ(row.Cell(2), "   10002");
    EXPECT_EQ(row.Cell(4), "<不明>");
    EXPECT_EQ(row.Cell(kind == volume::kNtfs ? 6 : 5), "   12345");
    EXPECT_EQ(row.Cell(kind == volume::kNtfs ? 5 : 6), "");
    EXPECT_EQ(row.dataWord, 0u);
    EXPECT_EQ(v.state.foundCount, 3);
    EXPECT_EQ(v.rows.shownCount, 3u);
  }
}

// The first bytes decide; the filter can turn a recognised file away.
TEST(Signatures, ExtensionsAndFilters) {
  struct Case {
    std::vector<uint8_t> head;
    const char* filter;
    const char* expectName;  // empty: no row
  };
  const std::vector<uint8_t> j2k = {0xFF, 0x4F, 0xFF, 0x51, 0, 0, 0xFF, 0xD9};
  std::vector<uint8_t> riff = {'R', 'I', 'F', 'F', 100, 0, 0, 0, 'X', 'Y', 'Z', 'W'};
  std::vector<uint8_t> m4a = {0, 0, 0, 8, 'f', 't', 'y', 'p', 'M', '4', 'R', ' '};
  // "wide" is walked through but is no signature: this file begins with "free".
  std::vector<uint8_t> qt = {0, 0, 0, 8, 'f', 'r', 'e', 'e', 0, 0, 0, 8, 'm', 'd', 'a', 't'};
  const Case cases[] = {
      {j2k, "", "不明2.j2k"},
      {j2k, "JPC", "不明2.jpc"},
      {j2k, "J2", "不明2.j2c"},  // the first candidate in list order
      {j2k, "PNG", ""},
      {riff, "", "不明2."},  // an unknown form: the empty extension
      {m4a, "", "不明2.m4a"},
      {m4a, "M4R", "不明2.m4r"},
      {qt, "", "不明2.mov"},
      {qt, "QT", "不明2.qt"},
      {{'%', 'P', 'D', 'F', '1'}, "", ""},  // "%PDF" without "-"
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 1}, "", ""},  // b[10] must be 0
      {{'B', 'M', 10, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0}, "", ""},  // size not above pixel offset
      {{'B', 'M', 0, 0, 0x10, 0, 0, 0, 0, 0, 10, 0, 0, 0}, "", ""},  // 1 MiB, larger than the volume
      {{'B', 'M', 200, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0}, "", "不明2.bmp"},
      {{'M', 'M', 0, 0x2A}, "TIF", "不明2.tif"},
      {{'M', 'M', 0, 0x2A}, "TIFF", ""},
  };
  for (const Case& c : cases) {
    ContentVolume v(volume::kFat32, 512, 64);
    v.state.options.filter = c.filter;
    v.Put(2, c.head);
    v.Attach();
    AnalyseClusterContents(v.state, 2, v.Cluster(2));
    if (*c.expectName == '\0') {
      EXPECT_TRUE(v.rows.rows.empty()) << c.filter << " " << (v.rows.rows.empty() ? "" : v.rows.rows[0].name);
    } else {
      ASSERT_EQ(v.rows.rows.size(), 1u) << c.expectName << " " << c.filter;
      EXPECT_EQ(v.rows.rows[0].name, c.expectName);
    }
  }
}

// An Exif JPEG used to get a fixed 10 MiB, which cut or padded every camera
// photo; its segments now say where it ends. The FF D9 inside the Exif
// segment (a thumbnail's end) is passed over with the segment.
TEST(Signatures, ExifJpegIsMeasuredByItsSegmentsNotADefault) {
  ContentVolume v(volume::kFat32, 512, 64);
  v.Put(2, std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE1, 0x10, 0, 'E', 'x', 'i', 'f', 0, 0, 0xFF, 0xD9});
  v.PutAt(4100, std::vector<uint8_t>{0xFF, 0xD9});
  v.Attach();
  AnalyseClusterContents(v.state, 2, v.Cluster(2));
  ASSERT_EQ(v.rows.rows.size(), 1u);
  EXPECT_EQ(v.rows.rows[0].Cell(2), "    4102");
}

// After an LZH row the later tests still run on the same bytes: "BM-lh5-"
// is both an LZH member header and, by its first two bytes, a bitmap.
TEST(Signatures, TestsGoOnAfterAnLzhRow) {
  ContentVolume v(volume::kFat32, 512, 64);
  std::vector<uint8_t> head(32, 0);
  const char* text = "BM-lh5-";
  std::copy(text, text + 7, head.begin());
  v.Put(2, head);
  // Read as a bitmap, bytes 2-5 give a file size of 0x35686C2D bytes: a volume
  // of 2 GiB can hold it.
  v.state.lastCluster = uint64_t{1} << 22;
  v.Attach();
  AnalyseClusterContents(v.state, 2, v.Cluster(2));
  ASSERT_EQ(v.rows.rows.size(), 2u);
  EXPECT_EQ(v.rows.rows[0].name, "不明2.lzh");
  EXPECT_EQ(v.rows.rows[1].name, "不明2.bmp");
}

}  // namespace
}  // namespace vellum::content
