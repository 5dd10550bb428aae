// File records and their attributes on hand-built volumes: where a record is
// found, fixups, the attribute walk and its damage, names, and the attribute
// list with its extension records.
#include <gtest/gtest.h>

#include "ntfs/attribute.h"
#include "ntfs/attribute_data.h"
#include "ntfs/file_name.h"
#include "ntfs/find_attribute.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/record.h"
#include "support/ntfs_builder.h"
#include "support/recording_rows.h"
#include "volume/fixups.h"

namespace vellum::ntfs {
namespace {

using testing::EncodeRuns;
using testing::NtfsTestVolume;
using testing::RecordBuilder;

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i);
  return v;
}

// A record whose value runs over both sector ends, so fixups decide what it reads.
RecordBuilder Marked(uint32_t number, uint16_t usaEntries = 3) {
  return std::move(RecordBuilder(1024, usaEntries).Number(number).Resident(kAttrData, Bytes(900, 7)));
}

TEST(MftRecords, FixupsWithThreeUpdateSequenceEntriesAndNoneWithOne) {
  NtfsTestVolume v(512, 8, 1024, 64);
  v.SetMft({{4, 10}}, 4);
  const RecordBuilder r = Marked(5);
  ASSERT_NE(Le16(r.Build(), 510), Le16(r.Unprotected(), 510));
  v.PutRecord(5, r.Build());
  const std::vector<uint8_t> single = Marked(2, 1).Build();
  v.PutRecord(2, single);
  v.Attach();
  std::vector<uint8_t> record(1024);
  ASSERT_TRUE(ReadMftRecord(v.state, 5, record));
  EXPECT_EQ(Le16(record, 510), Le16(r.Unprotected(), 510));
  EXPECT_EQ(Le16(record, 1022), Le16(r.Unprotected(), 1022));
  EXPECT_EQ(record, r.AfterFixups());
  ASSERT_TRUE(ReadMftRecord(v.state, 2, record));
  EXPECT_EQ(record, single);
}

TEST(MftRecords, FourPerClusterRecord13IsSlot1OfVcn3InTheSecondRun) {
  NtfsTestVolume v(512, 8, 1024, 64);
  v.SetMft({{2, 10}, {4, 20}}, 6);  // VCN 0-1 at LCN 10, VCN 2-5 at LCN 30
  v.PutRecord(13, Marked(13).Build());
  v.Attach();
  // VCN 3 is LCN 31; slot 1 starts 1024 bytes into it.
  EXPECT_EQ(Le32(v.bytes, 31 * 4096 + 1024 + 44), 13u);
  std::vector<uint8_t> record(1024);
  ASSERT_TRUE(ReadMftRecord(v.state, 13, record));
  EXPECT_EQ(Le32(record, 44), 13u);
  EXPECT_FALSE(ReadMftRecord(v.state, 24, record));  // past the table's runs
  EXPECT_FALSE(ReadMftRecord(v.state, 14, record));  // nothing written there
}

TEST(MftRecords, RecordLargerThanAClusterIsJoinedAcrossRuns) {
  NtfsTestVolume v(512, 1, 1024, 128);
  v.SetMft({{3, 50}, {3, 30}}, 6);  // record 1 = VCN 2 (LCN 52) + VCN 3 (LCN 80)
  const RecordBuilder r = Marked(1);
  v.PutRecord(1, r.Build());
  v.Attach();
  std::vector<uint8_t> record(1024);
  ASSERT_TRUE(ReadMftRecord(v.state, 1, record));
  EXPECT_EQ(record, r.AfterFixups());
}

TEST(MftRecords, RecordAtClusterAndSlot) {
  NtfsTestVolume v(512, 8, 1024, 64);
  const RecordBuilder r = Marked(77);
  std::vector<uint8_t> cluster(4096);
  const auto onDisk = r.Build();
  std::copy(onDisk.begin(), onDisk.end(), cluster.begin() + 3 * 1024);
  v.PutCluster(40, cluster);
  v.Attach();
  std::vector<uint8_t> record(1024);
  ASSERT_TRUE(ReadRecordAt(v.state, 40, 3, record));
  EXPECT_EQ(record, r.AfterFixups());
  EXPECT_FALSE(ReadRecordAt(v.state, 40, 4, record));
}

TEST(Attributes, WalkMatchesUnnamedAndTheRequestedExtent) {
  volume::ScanState s;
  auto record = RecordBuilder()
                    .Resident(kAttrBitmap, {})  // 24 bytes: the shortest attribute there is
                    .Resident(kAttrData, Bytes(5, 1), u"stream")
                    .NonResident(kAttrData, 8, 9, EncodeRuns({{2, 100}}), 0, 0, 0)
                    .NonResident(kAttrData, 0, 7, EncodeRuns({{8, 50}}), 32768, 30000, 30000)
                    .Build();
  const auto first = FindAttribute(s, record, kAttrData, 0, true);
  ASSERT_TRUE(first);
  EXPECT_EQ(ParseAttribute(AttributeBytes(record, *first))->dataSize, 30000u);
  const auto second = FindAttribute(s, record, kAttrData, 8, true);
  ASSERT_TRUE(second);
  EXPECT_EQ(ParseAttribute(AttributeBytes(record, *second))->firstVcn, 8u);
  EXPECT_FALSE(FindAttribute(s, record, kAttrData, 3, true));
  EXPECT_TRUE(FindAttribute(s, record, kAttrBitmap, 0, true));
  EXPECT_FALSE(FindAttribute(s, record, kAttrStandardInformation, 0, true));
}

// The broken attribute comes first; the $DATA after it is what is looked for.
std::vector<uint8_t> AfterDamage(std::vector<uint8_t> damage) {
  return RecordBuilder().Raw(damage).Resident(kAttrData, Bytes(4, 1)).Build();
}

TEST(Attributes, DamageEndsTheWalkOrSkipsTheAttribute) {
  volume::ScanState s;
  std::vector<uint8_t> header(24, 0);
  auto with = [&](uint32_t type, uint32_t length) {
    std::vector<uint8_t> h = header;
    PutLe32(h, 0, type);
    PutLe32(h, 4, length);
    return h;
  };
  // Lengths that cannot be stepped over, or types no walk accepts, end it.
  for (auto damage : {with(16, 0), with(16, 16), with(16, 4000), with(0x300, 24), with(8, 24)}) {
    auto record = AfterDamage(damage);
    EXPECT_FALSE(FindAttribute(s, record, kAttrData, 0, true)) << Le32(damage, 0) << " " << Le32(damage, 4);
  }
  // A value or name outside its attribute makes that attribute unusable, not the walk.
  auto valueOutside = with(kAttrData, 24);
  PutLe32(valueOutside, 16, 100);
  PutLe16(valueOutside, 20, 24);
  auto nameOutside = with(kAttrData, 24);
  nameOutside[9] = 4;
  PutLe16(nameOutside, 10, 20);
  auto runsOutside = with(kAttrData, 64);
  runsOutside.resize(64);
  runsOutside[8] = 1;
  PutLe16(runsOutside, 32, 200);
  for (auto damage : {valueOutside, nameOutside, runsOutside}) {
    auto record = AfterDamage(damage);
    const auto found = FindAttribute(s, record, kAttrData, 0, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(ResidentValue(AttributeBytes(record, *found)).size(), 4u);
  }
}

TEST(FileNames, LongNameWinsOverAnEarlierDosName) {
  volume::ScanState s;
  const auto record = RecordBuilder()
                          .FileName(5, kNamespaceDos, u"REPORT~1.TXT")
                          .FileName(0x0002000000000040, kNamespaceWin32, u"Report for 2024.txt")
                          .Build();
  const auto name = FileNameOf(s, record);
  ASSERT_TRUE(name);
  EXPECT_EQ(name->name, u"Report for 2024.txt");
  EXPECT_EQ(name->parentReference, 0x0002000000000040u);

  EXPECT_FALSE(FileNameOf(s, RecordBuilder().FileName(5, kNamespaceDos, u"A.TXT").Build()));
}

TEST(FileNames, NameLongerThanItsValueIsPassedOver) {
  volume::ScanState s;
  auto broken = RecordBuilder().FileName(5, kNamespacePosix, u"abc").Build();
  // The name length byte of the first $FILE_NAME now claims 200 units.
  const uint32_t at = Le16(broken, 20);
  broken[at + Le16(broken, at + 20) + 64] = 200;
  EXPECT_FALSE(FileNameOf(s, broken));
}

// A record whose $DATA runs past its end: the walk ends there and the row is
// listed from what lies inside (no size), counted once although each reader
// of the row ends the same walk again. What follows the record in the buffer
// (the rest of the value) is not read.
TEST(CutStructures, ARecordWhoseAttributeRunsPastItIsListedFromWhatItHoldsAndCountedOnce) {
  const auto built = RecordBuilder(1024, 1)
                         .Resident(kAttrStandardInformation, std::vector<uint8_t>(48, 0))
                         .FileName(5, kNamespaceWin32, u"cut.bin")
                         .Resident(kAttrData, std::vector<uint8_t>(600, 'd'))  // from 232 to 856
                         .Build();
  volume::ScanState s;
  testing::RecordingRows rows;
  s.rows = &rows;
  s.rootPath = "x:/";
  s.options.zeroSize = true;
  AddNtfsRow(s, {40}, ByteView(built).first(512));
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(rows.rows[0].name, "cut.bin");
  EXPECT_EQ(rows.rows[0].Cell(2), "0");
  EXPECT_EQ(s.truncatedStructures, 1u);
  AddNtfsRow(s, {40}, built);
  EXPECT_EQ(rows.rows[1].Cell(2), "600");
  EXPECT_EQ(s.truncatedStructures, 1u);

  // A run list that runs out before its end marker, and an update sequence
  // array past the record, are cut short too; fixups then leave it as it is.
  const std::vector<uint8_t> noEnd{0x21, 0x10, 0x00, 0x01, 0x21, 0x10, 0x00, 0x01};  // fills the attribute
  EXPECT_TRUE(RecordCutShort(RecordBuilder(1024, 1).NonResident(kAttrData, 0, 31, noEnd, 0, 0, 0).Build()));
  EXPECT_FALSE(RecordCutShort(
      RecordBuilder(1024, 1).NonResident(kAttrData, 0, 31, EncodeRuns({{16, 256}, {16, 0}}), 0, 0, 0).Build()));
  auto farArray = RecordBuilder().Build();
  EXPECT_FALSE(RecordCutShort(farArray));
  PutLe16(farArray, 4, 1020);
  const auto before = farArray;
  EXPECT_TRUE(RecordCutShort(farArray));
  EXPECT_FALSE(volume::ApplyFixups(farArray));
  EXPECT_EQ(farArray, before);
}

// Record 30 keeps its names; its $DATA, first extent in 31 and second in 32,
// is reached only through its attribute list.
struct ListedVolume : NtfsTestVolume {
  ListedVolume() : NtfsTestVolume(512, 8, 1024, 64) {
    SetMft({{16, 8}}, 16);
    std::vector<uint8_t> list;
    RecordBuilder::ListEntry(list, kAttrFileName, 0, 30);
    RecordBuilder::ListEntry(list, kAttrData, 0, 31);
    RecordBuilder::ListEntry(list, kAttrData, 2, 32);
    base = RecordBuilder().Number(30).Resident(kAttrAttributeList, list).FileName(5, 1, u"split.bin").Build();
    PutRecord(30, base);
    PutRecord(31, RecordBuilder().Number(31)
                      .NonResident(kAttrData, 0, 1, EncodeRuns({{2, 40}}), 4 * 4096, 4 * 4096 - 10, 4 * 4096)
                      .Build());
    PutRecord(32, RecordBuilder().Number(32).NonResident(kAttrData, 2, 3, EncodeRuns({{2, 50}}), 0, 0, 0).Build());
    for (uint64_t c : {40, 41, 50, 51}) PutCluster(c, std::vector<uint8_t>(4096, static_cast<uint8_t>(c)));
  }
  std::vector<uint8_t> base;
};

TEST(AttributeList, DataInExtensionRecordsIsFoundAndReadAcrossExtents) {
  ListedVolume v;
  v.Attach();
  std::vector<uint8_t> record = v.base;
  EXPECT_FALSE(FindAttribute(v.state, record, kAttrData, 0, true));
  const auto found = FindAttribute(v.state, record, kAttrData, 2, false);
  ASSERT_TRUE(found);
  EXPECT_EQ(Le32(record, 44), 32u);  // the caller's buffer now holds the extension record
  EXPECT_EQ(ParseAttribute(AttributeBytes(record, *found))->firstVcn, 2u);

  std::vector<uint8_t> data(4 * 4096);
  EXPECT_TRUE(ReadAttributeClusters(v.state, v.base, kAttrData, 0, 4, data, false));
  EXPECT_EQ(data[0], 40);
  EXPECT_EQ(data[4096], 41);
  EXPECT_EQ(data[2 * 4096], 50);
  EXPECT_EQ(data[4 * 4096 - 1], 51);

  const auto name = FileNameOf(v.state, v.base);
  ASSERT_TRUE(name);
  EXPECT_EQ(name->name, u"split.bin");
}

TEST(AttributeList, ListsPointingBackOrInCirclesEndQuickly) {
  NtfsTestVolume v(512, 8, 1024, 64);
  v.SetMft({{16, 8}}, 16);
  // Record 30 lists $DATA in itself, in 31 and 32 (which list it back in
  // 30) and in empty records, over and over; record 31's extent is followed
  // by 32's, which ends before it starts.
  std::vector<uint8_t> list, back;
  for (int i = 0; i < 6; ++i)
    for (uint32_t r : {30u, 31u, 32u, static_cast<uint32_t>(40 + i)}) RecordBuilder::ListEntry(list, kAttrData, 0, r);
  RecordBuilder::ListEntry(list, kAttrData, 8, 32);
  for (uint32_t r : {30u, 31u, 32u}) RecordBuilder::ListEntry(back, kAttrData, 8, r);
  const auto base = RecordBuilder().Number(30).Resident(kAttrAttributeList, list).Build();
  v.PutRecord(30, base);
  v.PutRecord(31, RecordBuilder().Number(31).Resident(kAttrAttributeList, back)
                      .NonResident(kAttrData, 0, 7, EncodeRuns({{8, 40}}), 64 * 4096, 64 * 4096, 64 * 4096)
                      .Build());
  v.PutRecord(32, RecordBuilder().Number(32).Resident(kAttrAttributeList, back)
                      .NonResident(kAttrData, 8, 3, EncodeRuns({{2, 40}}), 0, 0, 0)
                      .Build());
  for (uint64_t c = 40; c < 48; ++c) v.PutCluster(c, std::vector<uint8_t>(4096, static_cast<uint8_t>(c - 40 + (c == 41 ? 0x40 : 0))));
  auto& device = v.Attach();
  std::vector<uint8_t> data(16 * 4096, 0xEE);
  EXPECT_FALSE(ReadAttributeClusters(v.state, base, kAttrData, 0, 16, data, false));
  EXPECT_EQ(data[7 * 4096], 0x07);
  EXPECT_EQ(data[8 * 4096], 0);  // what could not be read is zeros, not what the buffer held
  EXPECT_LT(device.reads, 100u);

  // An extent whose runs stop short of its last VCN: the read ends there
  // instead of asking the same extent again and again.
  v.PutRecord(31, RecordBuilder().Number(31)
                      .NonResident(kAttrData, 0, 7, EncodeRuns({{2, 40}}), 64 * 4096, 64 * 4096, 64 * 4096)
                      .Build());
  v.Attach();
  EXPECT_FALSE(ReadAttributeClusters(v.state, base, kAttrData, 0, 16, data, false));
  EXPECT_EQ(data[4096], 0x41);
  EXPECT_EQ(data[2 * 4096], 0);
}

}  // namespace
}  // namespace vellum::ntfs
