// The NTFS search, cluster scan and restore over a disk that fails reads.
// One unreadable file record must cost that record, not the table around it;
// failures never add rows; restores finish.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "content/analyse_cluster.h"
#include "ntfs/ntfs_cluster_scan.h"
#include "ntfs/ntfs_restore.h"
#include "ntfs/ntfs_search.h"
#include "support/command_fixture.h"
#include "support/faulty_device.h"
#include "support/fixture_bytes.h"
#include "support/open_image.h"
#include "support/recording_rows.h"
#include "support/scripted_messages.h"
#include "volume/listing.h"

namespace vellum::ntfs {
namespace {

using testing::FaultyDevice;
using testing::RecordedRow;

std::string ImagePath(const std::string& name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name + ".img"; }

// Name and where the row's record is (number, or cluster and slot); folder
// texts may change when a parent's record is the one that fails.
using RowKey = std::tuple<std::string, std::string, std::string, std::string>;
std::vector<RowKey> Keys(const std::vector<RecordedRow>& rows) {
  std::vector<RowKey> keys;
  for (const RecordedRow& r : rows) keys.emplace_back(r.name, r.Cell(5), r.Cell(6), r.Cell(7));
  return keys;
}

struct Opened {
  volume::ScanState state;
  testing::RecordingRows rows;
  FaultyDevice* device = nullptr;

  explicit Opened(const std::string& image) {
    EXPECT_EQ(testing::OpenImage(ImagePath(image), state,
                                 [&](auto base) {
                                   auto faulty = std::make_unique<FaultyDevice>(std::move(base));
                                   device = faulty.get();
                                   return faulty;
                                 }),
              "");
    state.rows = &rows;
    state.options.zeroSize = true;
  }
  // The device sector where record `number` lies: the table grows in pieces,
  // so the record is found by the number it carries at offset 44.
  uint64_t RecordSector(uint32_t number) {
    std::vector<uint8_t> bytes(state.volumeHandle->Size());
    state.volumeHandle->Read(0, bytes);
    for (size_t at = 0; at + state.mftRecordSize <= bytes.size(); at += state.mftRecordSize)
      if (BytesEqual(bytes, at, "FILE") && Le32(bytes, at + 44) == number) return at / device->SectorSize();
    ADD_FAILURE() << "record " << number << " not found";
    return 0;
  }
};

class FaultySearch : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultySearch, AnUnreadableRecordCostsOnlyItself) {
  Opened healthy(GetParam());
  ASSERT_TRUE(SearchNtfs(healthy.state, 0, ""));
  const std::vector<RowKey> all = Keys(healthy.rows.rows);
  ASSERT_GT(all.size(), 4u);
  const uint32_t number = static_cast<uint32_t>(std::stoul(std::get<1>(all[all.size() / 2])));
  // A failed read is read again sector by sector: the records sharing the
  // bad one's cluster are read around it, and only its own row is lost.
  std::vector<RowKey> expected;
  for (const RowKey& key : all)
    if (std::stoul(std::get<1>(key)) != number) expected.push_back(key);
  ASSERT_LT(expected.size(), all.size());

  for (FaultyDevice::Fault fault : {FaultyDevice::Fault::Error, FaultyDevice::Fault::Short}) {
    Opened faulty(GetParam());
    const uint64_t sector = faulty.RecordSector(number);
    faulty.device->FailReads(sector, faulty.state.mftRecordSize / faulty.device->SectorSize(), fault);
    ASSERT_TRUE(SearchNtfs(faulty.state, 0, ""));
    EXPECT_EQ(Keys(faulty.rows.rows), expected) << "record " << number;
    EXPECT_GT(faulty.device->failedReads, 0u);
    EXPECT_GT(faulty.state.failedReads, 0u);
  }
}

TEST_P(FaultySearch, RandomFailuresNeverInventRows) {
  Opened healthy(GetParam());
  ASSERT_TRUE(SearchNtfs(healthy.state, 0, ""));
  const std::vector<RowKey> all = Keys(healthy.rows.rows);
  const std::set<RowKey> known(all.begin(), all.end());
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    Opened faulty(GetParam());
    faulty.device->FailReadsAtRandom(seed, 200);
    SearchNtfs(faulty.state, 0, "");
    for (const RowKey& key : Keys(faulty.rows.rows)) EXPECT_TRUE(known.count(key)) << std::get<0>(key);
  }
}

INSTANTIATE_TEST_SUITE_P(Images, FaultySearch, ::testing::Values("ntfs-512", "ntfs-4k", "ntfs-special-512"),
                         [](const auto& info) {
                           std::string n = info.param;
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

class Range : public ClusterRangeAsker {
 public:
  Range(uint64_t first, uint64_t last) : first_(first), last_(last) {}
  bool RunClusterRangeDialog(uint64_t& first, uint64_t& last) override {
    first = std::max(first, first_);
    last = std::min(last, last_);
    return true;
  }

 private:
  uint64_t first_, last_;
};

std::vector<RowKey> Scan(Opened& v, bool all, uint64_t first, uint64_t last) {
  v.state.clusterScan = 1;
  v.state.options.analyse = true;
  Range range(first, last);
  EXPECT_EQ(ScanNtfsFreeClusters(v.state, all, range, content::AnalyseClusterContents), 1);
  return Keys(v.rows.rows);
}

class FaultyScan : public ::testing::TestWithParam<std::tuple<std::string, bool>> {};

TEST_P(FaultyScan, RowsBeforeAndAfterTheBadClustersStay) {
  const auto& [image, all] = GetParam();
  Opened probe(image);
  const uint64_t last = probe.state.lastCluster;
  const uint64_t badFirst = last / 3, badLast = last / 3 + 40;
  const uint64_t first = 0, end = last;

  Opened whole(image), before(image), after(image);
  const std::vector<RowKey> everything = Scan(whole, all, first, end);
  const std::set<RowKey> known(everything.begin(), everything.end());
  std::vector<RowKey> kept = Scan(before, all, first, badFirst - 1);
  const std::vector<RowKey> behind = Scan(after, all, badLast + 1, end);
  kept.insert(kept.end(), behind.begin(), behind.end());
  ASSERT_FALSE(kept.empty());

  for (FaultyDevice::Fault fault : {FaultyDevice::Fault::Error, FaultyDevice::Fault::Short}) {
    Opened faulty(image);
    const uint64_t perCluster = faulty.state.clusterBytes / faulty.device->SectorSize();
    faulty.device->FailReads(badFirst * perCluster, (badLast - badFirst + 1) * perCluster, fault);
    const std::vector<RowKey> found = Scan(faulty, all, first, end);
    const std::set<RowKey> foundSet(found.begin(), found.end());
    for (const RowKey& key : kept) EXPECT_TRUE(foundSet.count(key)) << std::get<0>(key) << " " << std::get<2>(key);
    for (const RowKey& key : found) EXPECT_TRUE(known.count(key)) << std::get<0>(key) << " " << std::get<2>(key);
    if (all) {
      EXPECT_GT(faulty.device->failedReads, 0u);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Images, FaultyScan,
                         // (The free clusters of the other images hold nothing a scan lists.)
                         ::testing::Values(std::tuple<std::string, bool>{"ntfs-orphans", false},
                                           std::tuple<std::string, bool>{"ntfs-orphans", true},
                                           std::tuple<std::string, bool>{"ntfs-special-512", true}),
                         [](const auto& info) {
                           std::string n = std::get<0>(info.param) + (std::get<1>(info.param) ? "_full" : "_free");
                           std::replace(n.begin(), n.end(), '-', '_');
                           return n;
                         });

// Restoring every deleted file over a disk that fails reads at random: the
// restore finishes. (What its summary must name belongs to the outcome
// record of the restore.)
TEST(FaultyRestore, FinishesOverFailingReads) {
  for (const char* image : {"ntfs-512", "ntfs-special-512"}) {
    Opened healthy(image);
    ASSERT_TRUE(SearchNtfs(healthy.state, 0, ""));
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      Opened faulty(image);
      faulty.device->FailReadsAtRandom(seed, 300);
      char pattern[] = "/tmp/vellum-faulty-ntfs-XXXXXX";
      ASSERT_NE(::mkdtemp(pattern), nullptr);
      testing::ScriptedMessages messages;
      restore::Outcomes tally;
      for (const RecordedRow& r : healthy.rows.rows) {
        if ((r.dataWord & volume::kRowFolder) != 0) continue;
        NtfsRecordSource source;
        source.recordNumber = static_cast<uint32_t>(std::stoul(r.Cell(5)));
        RestoreNtfsFile(faulty.state, source, pattern, messages, tally);
      }
      EXPECT_GT(faulty.device->failedReads, 0u);
      std::filesystem::remove_all(pattern);
    }
  }
}


// Two bad sectors inside a deleted file's plain data cost those 1,024 bytes
// and no more: the rest of the failing step is written as it was read, and
// the outcome names exactly the lost bytes.
TEST(FaultyRestore, PlainDataKeepsEverySectorThatWasRead) {
  struct Case {
    const char* image;
    uint64_t badSector;   // two sectors from here fail
    uint64_t fileOffset;  // where they lie in big-deleted.bin (record 82)
  };
  // istat: the file's data begins at cluster 61456 (512-byte clusters) and 4642 (4 KiB).
  for (const Case c : {Case{"ntfs-512", 61456 + 10, 5120}, Case{"ntfs-4k", 4643 * 8 + 3, 4096 + 3 * 512}}) {
    SCOPED_TRACE(c.image);
    const auto restoreInto = [&](Opened& opened, const std::string& folder, restore::Outcomes& tally) {
      testing::ScriptedMessages messages;
      NtfsRecordSource source;
      source.recordNumber = 82;
      RestoreNtfsFile(opened.state, source, folder, messages, tally);
      return testing::ReadFile(folder + "/big-deleted.bin");
    };
    testing::TempDir healthyOut("vellum-ntfs-healthy-"), faultyOut("vellum-ntfs-faulty-");
    Opened healthy(c.image), faulty(c.image);
    faulty.device->FailReads(c.badSector, 2);
    restore::Outcomes healthyTally, faultyTally;
    std::string expected = restoreInto(healthy, healthyOut.Path(), healthyTally);
    const std::string got = restoreInto(faulty, faultyOut.Path(), faultyTally);
    ASSERT_EQ(expected.size(), 50000u);
    std::fill_n(expected.begin() + static_cast<ptrdiff_t>(c.fileOffset), 1024, '\0');
    EXPECT_TRUE(got == expected);
    ASSERT_EQ(faultyTally.Items().size(), 1u);
    const restore::ItemOutcome& item = faultyTally.Items()[0];
    EXPECT_EQ(item.result, restore::ItemResult::kZeroFilled);
    ASSERT_EQ(item.zeroFilled.size(), 1u);
    EXPECT_EQ(item.zeroFilled[0].offset, c.fileOffset);
    EXPECT_EQ(item.zeroFilled[0].length, 1024u);
  }
}

}  // namespace
}  // namespace vellum::ntfs
