#include <gtest/gtest.h>

#include <string>

#include "content/content_row.h"
#include "content/pdf.h"
#include "content/record_walks.h"
#include "content/zip.h"
#include "content_volume.h"

namespace vellum::content {
namespace {

using testing::ContentVolume;

std::vector<uint8_t> LocalHeader(const std::string& name, uint32_t dataSize) {
  std::vector<uint8_t> h(30 + name.size() + dataSize, 'd');
  for (size_t i = 0; i < 30; ++i) h[i] = 0;
  h[0] = 'P', h[1] = 'K', h[2] = 3, h[3] = 4;
  PutLe32(h, 18, dataSize);
  PutLe16(h, 26, static_cast<uint16_t>(name.size()));
  std::copy(name.begin(), name.end(), h.begin() + 30);
  return h;
}

std::vector<uint8_t> EndRecord(uint16_t commentLength) {
  std::vector<uint8_t> e(22 + commentLength, 'c');
  std::fill(e.begin(), e.begin() + 22, 0);
  e[0] = 'P', e[1] = 'K', e[2] = 5, e[3] = 6;
  PutLe16(e, 20, commentLength);
  return e;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(ClassifyZip, LooksPastSmallMembersOnly) {
  const auto types = LocalHeader("[Content_Types].xml", 300);
  const auto rels = LocalHeader("_rels/.rels", 200);
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {Concat({types, rels, LocalHeader("word/document.xml", 900)}), "docx"},
      {Concat({types, rels, LocalHeader("xl/workbook.xml", 900)}), "xlsx"},
      {Concat({types, LocalHeader("ppt/presentation.xml", 900)}), "pptx"},
      {Concat({LocalHeader("big.bin", 5'000), LocalHeader("word/document.xml", 9)}), "zip"},
      {Concat({types, LocalHeader("Word/document.xml", 9)}), "zip"},  // no case folding
  };
  for (const auto& [file, ext] : cases) {
    ContentVolume v(volume::kFat32, 512, 32);  // members spread over several clusters
    v.Put(2, file);
    v.Attach();
    EXPECT_EQ(ClassifyZip(v.state, 2, v.Cluster(2)), ext);
  }
}

TEST(MeasureZip, EndsAtTheFirstEndRecordAndItsComment) {
  const auto file = Concat({LocalHeader("a.txt", 1'500), EndRecord(10)});
  ContentVolume v(volume::kFat32, 512, 16);
  v.Put(2, file);
  v.Attach();
  EXPECT_EQ(MeasureZip(v.state, 2, v.Cluster(2)), file.size());

  // An archive stored inside another ends this measure at the inner end record.
  const auto inner = Concat({LocalHeader("x", 10), EndRecord(0)});
  const auto outer = Concat({LocalHeader("inner.zip", 0), inner, LocalHeader("y", 600), EndRecord(0)});
  ContentVolume nested(volume::kFat32, 512, 16);
  nested.Put(2, outer);
  nested.Attach();
  EXPECT_EQ(MeasureZip(nested.state, 2, nested.Cluster(2)), 39u + inner.size());
}

std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(ReadLinearizedLength, OnlyInTheFirst256Bytes) {
  auto at = [](size_t offset, const std::string& dict) {
    std::vector<uint8_t> b(4096, ' ');
    std::copy(dict.begin(), dict.end(), b.begin() + static_cast<ptrdiff_t>(offset));
    return ReadLinearizedLength(b);
  };
  EXPECT_EQ(at(16, "/Linearized 1 /L 150000 /H [ 1 2 ]"), 150'000u);
  EXPECT_EQ(at(15, "/Linearized 1 /L 150000 /H"), 0u);   // starts too early
  EXPECT_EQ(at(256, "/Linearized 1 /L 150000 /H"), 0u);  // starts too late
  EXPECT_EQ(at(256 - 24, "/Linearized/L 1234567890"), 0u);  // the digits run up to offset 256
  EXPECT_EQ(at(256 - 25, "/Linearized/L 1234567890"), 1'234'567'890u);  // one byte short
  EXPECT_EQ(at(255 - 10 - 4 - 11, "/Linearized/L 123456789 "), 123'456'789u);
  EXPECT_EQ(at(40, "/Linearized 1 /L /H"), 0u);  // no digits
}

TEST(MeasurePdf, TheLargerOfDeclaredLengthAndFirstEof) {
  ContentVolume v(volume::kFat32, 4096, 40);
  v.Put(2, Text("%PDF-1.5\n%\xE2\xE3\n1 0 obj\n<< /Linearized 1 /L 150000 /H [ 600 200 ] >>\nendobj\n"));
  v.PutAt(2'000, Text("%%EOF\r\n"));
  v.PutAt(140'000, Text("%%EOF\r\n"));
  v.Attach();
  EXPECT_EQ(MeasurePdf(v.state, 2, v.Cluster(2)), 150'000u);

  ContentVolume plain(volume::kFat32, 4096, 40);
  plain.Put(2, Text("%PDF-1.4\n"));
  plain.PutAt(50'000, Text("%%EOF\r\n"));
  plain.PutAt(60'000, Text("%%EOF\r\n"));  // an incremental update is not reached
  plain.Attach();
  EXPECT_EQ(MeasurePdf(plain.state, 2, plain.Cluster(2)), 50'007u);
}

// Headers cut by the end of the bytes at hand end their measure as a missing
// header would, and are counted: a local header in a short first cluster, an
// end record whose rest lies past the volume's last cluster, the linearized
// length's digits, and the first record of each record walk. What lies past
// the ZIP and PDF views is not read: it would make them docx and 150000.
TEST(CutStructures, HeadersCutShortEndTheirMeasureAndAreCounted) {
  const auto docx = Concat({LocalHeader("word/document.xml", 100), EndRecord(0)});
  ContentVolume zip(volume::kFat32, 512, 4);
  zip.Put(2, docx);
  zip.PutAt(2040, ByteView(EndRecord(0)).first(8));  // 14 of its 22 bytes lie past the volume
  zip.Attach();
  const auto first = zip.Cluster(2);
  EXPECT_EQ(ClassifyZip(zip.state, 2, ByteView(first).first(20)), "zip");
  EXPECT_EQ(zip.state.truncatedStructures, 1u);
  EXPECT_EQ(ClassifyZip(zip.state, 2, first), "docx");
  EXPECT_EQ(zip.state.truncatedStructures, 1u);
  ContentVolume atEnd(volume::kFat32, 512, 4);
  atEnd.Put(2, LocalHeader("a.txt", 1500));
  atEnd.PutAt(2040, ByteView(EndRecord(0)).first(8));
  atEnd.Attach();
  EXPECT_EQ(MeasureZip(atEnd.state, 2, atEnd.Cluster(2)), 2040u + 22);
  EXPECT_EQ(atEnd.state.truncatedStructures, 1u);

  ContentVolume pdf(volume::kFat32, 4096, 40);
  const std::string head = "%PDF-1.5\n1 0 obj\n<< /Linearized 1 /L 150000 /H [ 600 200 ] >>\n";
  pdf.Put(2, Text(head));
  pdf.PutAt(2'000, Text("%%EOF\r\n"));
  pdf.Attach();
  const auto pdfCluster = pdf.Cluster(2);
  const ByteView cutInDigits = ByteView(pdfCluster).first(head.find("150000") + 2);
  EXPECT_EQ(ReadLinearizedLength(cutInDigits), 0u);
  EXPECT_EQ(MeasurePdf(pdf.state, 2, cutInDigits), 2'007u);
  EXPECT_EQ(pdf.state.truncatedStructures, 1u);
  EXPECT_EQ(MeasurePdf(pdf.state, 2, pdfCluster), 150'000u);
  EXPECT_EQ(pdf.state.truncatedStructures, 1u);

  ContentVolume walks(volume::kFat32, 512, 4);
  walks.Attach();
  const auto zeros = walks.Cluster(2);
  EXPECT_EQ(MeasureLzh(walks.state, 2, ByteView(zeros).first(20)), kDefaultSize);
  EXPECT_EQ(MeasureIsoMedia(walks.state, 2, ByteView(zeros).first(11)), kDefaultSize);
  EXPECT_EQ(MeasureAsf(walks.state, 2, ByteView(zeros).first(77)), kDefaultSize);
  EXPECT_EQ(walks.state.truncatedStructures, 3u);
}

}  // namespace
}  // namespace vellum::content
