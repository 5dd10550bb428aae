// The Recycle Bin's index files read as hostile input: every length checked,
// a cut or false path shown as far as it reads and flagged; and where a
// recorded original path may lead a restore.
#include "ntfs/recycle_bin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "volume/le.h"

namespace vellum::ntfs {
namespace {

void PutLe64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
  PutLe32(b, at, static_cast<uint32_t>(v));
  PutLe32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

std::vector<uint8_t> Header(uint64_t version, uint64_t size, uint64_t time) {
  std::vector<uint8_t> b(24);
  PutLe64(b, 0, version);
  PutLe64(b, 8, size);
  PutLe64(b, 16, time);
  return b;
}

void AppendUnits(std::vector<uint8_t>& b, const std::u16string& text) {
  for (char16_t c : text) {
    b.push_back(static_cast<uint8_t>(c & 0xFF));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
}

std::vector<uint8_t> Version2(const std::u16string& path, uint32_t declaredUnits) {
  std::vector<uint8_t> b = Header(2, 20000, 133590510000000000);
  b.resize(28);
  PutLe32(b, 24, declaredUnits);
  AppendUnits(b, path);
  return b;
}

TEST(RecycleBinIndex, BothVersionsGiveThePathSizeAndTime) {
  std::u16string path = u"C:\\Users\\owner\\Documents\\report.docx";
  auto v2 = Version2(path + u'\0', static_cast<uint32_t>(path.size() + 1));
  auto index = ParseRecycleBinIndex(v2);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->version, 2u);
  EXPECT_EQ(index->size, 20000u);
  EXPECT_EQ(index->deletedTime, 133590510000000000u);
  EXPECT_EQ(index->originalPath, "C:\\Users\\owner\\Documents\\report.docx");
  EXPECT_FALSE(index->damaged);

  std::vector<uint8_t> v1 = Header(1, 7, 1);
  AppendUnits(v1, u"D:\\日本語\\notes.txt");
  v1.resize(24 + 520, 0);
  index = ParseRecycleBinIndex(v1);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->version, 1u);
  EXPECT_EQ(index->originalPath, "D:\\日本語\\notes.txt");
  EXPECT_FALSE(index->damaged);
}

TEST(RecycleBinIndex, CutOrFalseLengthsReadAsFarAsTheBytesGoAndAreFlagged) {
  // A length far past the bytes: the path as far as it is there.
  auto index = ParseRecycleBinIndex(Version2(u"C:\\cut", 0xFFFFFFFF));
  ASSERT_TRUE(index);
  EXPECT_EQ(index->originalPath, "C:\\cut");
  EXPECT_TRUE(index->damaged);
  // A NUL before the declared length ends the path, and says the length lied.
  index = ParseRecycleBinIndex(Version2(std::u16string(u"C:\\a\0zzzz", 9), 9));
  ASSERT_TRUE(index);
  EXPECT_EQ(index->originalPath, "C:\\a");
  EXPECT_TRUE(index->damaged);
  // No path at all.
  index = ParseRecycleBinIndex(Version2(u"", 0));
  ASSERT_TRUE(index);
  EXPECT_EQ(index->originalPath, "");
  EXPECT_TRUE(index->damaged);
  // Version 1 without its NUL within the field, or cut short of it.
  std::vector<uint8_t> v1 = Header(1, 7, 1);
  AppendUnits(v1, std::u16string(260, u'x'));
  index = ParseRecycleBinIndex(v1);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->originalPath.size(), 260u);
  EXPECT_TRUE(index->damaged);
  v1.resize(24 + 11);  // half a unit at the end
  index = ParseRecycleBinIndex(v1);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->originalPath, "xxxxx");
  EXPECT_TRUE(index->damaged);
  // An unpaired surrogate is not UTF-16: replaced, flagged.
  index = ParseRecycleBinIndex(Version2(std::u16string(u"C:\\\xD800z\0", 6), 6));
  ASSERT_TRUE(index);
  EXPECT_TRUE(index->damaged);
  EXPECT_NE(index->originalPath.find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(RecycleBinIndex, WhatIsNoIndexIsNotReadAsOne) {
  EXPECT_FALSE(ParseRecycleBinIndex({}));
  EXPECT_FALSE(ParseRecycleBinIndex(std::vector<uint8_t>(23, 0)));
  EXPECT_FALSE(ParseRecycleBinIndex(Header(3, 1, 1)));
  EXPECT_FALSE(ParseRecycleBinIndex(Header(0x0000000100000002ull, 1, 1)));
  // Version 2 without room for its length.
  EXPECT_FALSE(ParseRecycleBinIndex(Header(2, 1, 1)));
  // A Word document (the extension the index shares with its file) is none.
  std::vector<uint8_t> zip = {'P', 'K', 3, 4};
  zip.resize(100);
  EXPECT_FALSE(ParseRecycleBinIndex(zip));
}

TEST(RecycleBinNames, TheBinsFoldersAndItsTwoKindsOfName) {
  EXPECT_TRUE(IsRecycleBinFolder("$Recycle.Bin/S-1-5-21-1-2-3-1001"));
  EXPECT_TRUE(IsRecycleBinFolder("card.img:/$RECYCLE.BIN/S-1-5-18"));
  EXPECT_TRUE(IsRecycleBinFolder("C:\\$Recycle.Bin\\S-1-5-21-1-2-3-1001\\"));
  EXPECT_FALSE(IsRecycleBinFolder("$Recycle.Bin"));
  EXPECT_FALSE(IsRecycleBinFolder("$Recycle.Bin/S-1-5-21/$RFLD789"));
  EXPECT_FALSE(IsRecycleBinFolder("Recycle.Bin/S-1-5"));
  std::string_view suffix;
  EXPECT_EQ(BinNameKindOf("$IABC123.docx", &suffix), BinNameKind::kIndex);
  EXPECT_EQ(suffix, "ABC123.docx");
  EXPECT_EQ(BinNameKindOf("$RABC123.docx", &suffix), BinNameKind::kData);
  EXPECT_EQ(suffix, "ABC123.docx");
  EXPECT_EQ(BinNameKindOf("$I"), BinNameKind::kNone);
  EXPECT_EQ(BinNameKindOf("$XABC"), BinNameKind::kNone);
  EXPECT_EQ(BinNameKindOf("IABC"), BinNameKind::kNone);
}

TEST(RecycleBinNames, AnOriginalPathLosesItsDriveAndItsLeadingSeparators) {
  EXPECT_EQ(PathBelowDestination("C:\\Users\\owner\\Documents\\report.docx"), "Users/owner/Documents/report.docx");
  EXPECT_EQ(PathBelowDestination("\\\\?\\D:\\x\\y.txt"), "x/y.txt");
  EXPECT_EQ(PathBelowDestination("\\\\server\\share\\z"), "server/share/z");
  EXPECT_EQ(PathBelowDestination("C:\\old-project\\"), "old-project");
  EXPECT_EQ(PathBelowDestination("C:"), "");
  // What climbs stays in the path: the folder maker refuses such a component.
  EXPECT_EQ(PathBelowDestination("C:\\..\\..\\etc\\passwd"), "../../etc/passwd");
}

}  // namespace
}  // namespace vellum::ntfs
