// A camera card with bad sectors: 4 KiB in the middle of the 32 KiB cluster
// of DCIM/100CANON and 64 KiB inside the deleted IMG_0003.JPG. The search
// lists what the folder's readable sectors hold and names the folder; the
// restore writes every photo as the healthy card gives it but the damaged
// one, whose lost bytes it names; a list made while the card was healthy is
// not taken for another card's; and a ddrescue map of the same damage gives
// the same rows and restores as the failing card itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "app/read_damage_notes.h"
#include "app/restore_command.h"
#include "app/row_state.h"
#include "support/command_fixture.h"
#include "support/faulty_device.h"
#include "support/fixture_bytes.h"

namespace vellum::app {
namespace {

namespace fs = std::filesystem;
using testing::Command;
using testing::TempDir;

std::string CardImage() { return std::string(VELLUM_TEST_IMAGES) + "/failing-card.img"; }

constexpr uint64_t kSector = 512;
// Bytes 4096-8191 of the folder's cluster 3 (sectors 320-383): the entries
// of photos 127-254.
constexpr uint64_t kFolderBad = 328, kFolderBadSectors = 8;
// IMG_0003.JPG lies in clusters 6-12; its bytes 65536-131071 in 8-9.
constexpr uint64_t kPhotoBad = 640, kPhotoBadSectors = 128;

std::vector<volume::ByteRange> BadBytes() {
  return {{kFolderBad * kSector, (kFolderBad + kFolderBadSectors) * kSector},
          {kPhotoBad * kSector, (kPhotoBad + kPhotoBadSectors) * kSector}};
}

// The photo number of a row: the four digits before ".JPG".
int PhotoNumber(std::string_view name) {
  return name.size() >= 8 ? std::atoi(std::string(name.substr(name.size() - 8, 4)).c_str()) : 0;
}

// The card as a search or restore opens it: healthy, failing the bad
// sectors, or rescued with a map of them.
enum class Card { kHealthy, kFailing, kMapped };

struct OnCard : Command {
  testing::FaultyDevice* device = nullptr;
  explicit OnCard(Card card) : Command(CardImage()) {
    if (card == Card::kFailing) {
      context.volume.wrapDevice = [this](std::unique_ptr<platform::BlockDevice> d) {
        auto faulty = std::make_unique<testing::FaultyDevice>(std::move(d));
        faulty->FailReads(kFolderBad, kFolderBadSectors);
        faulty->FailReads(kPhotoBad, kPhotoBadSectors);
        device = faulty.get();
        return std::unique_ptr<platform::BlockDevice>(std::move(faulty));
      };
    }
    if (card == Card::kMapped) context.volume.unreadableAreas = BadBytes();
  }
};

// Rows by photo number: name and cluster.
std::map<int, std::string> Photos(const ResultList& list) {
  std::map<int, std::string> photos;
  for (size_t row = 0; row < list.RowCount(); ++row)
    photos[PhotoNumber(list.Cell(row, 0))] = std::string(list.Cell(row, 0)) + "@" + std::string(list.Cell(row, 5));
  return photos;
}

std::vector<size_t> AllRows(const ResultList& list) {
  std::vector<size_t> rows(list.RowCount());
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = i;
  return rows;
}

bool HasNote(const volume::ScanState& state, const std::string& note) {
  const std::vector<std::string> notes = ReadDamageNotes(state);
  return std::find(notes.begin(), notes.end(), note) != notes.end();
}

class BadSectors : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    healthy_ = new OnCard(Card::kHealthy);
    ASSERT_EQ(OnSearch(healthy_->context), 1);
  }
  static void TearDownTestSuite() {
    delete healthy_;
    healthy_ = nullptr;
  }
  // The photos a healthy search lists but for those whose entries lie on
  // the folder's bad sectors.
  static std::map<int, std::string> ReadablePhotos() {
    std::map<int, std::string> photos = Photos(healthy_->list);
    for (int n = 127; n <= 254; ++n) photos.erase(n);
    return photos;
  }
  static OnCard* healthy_;
};
OnCard* BadSectors::healthy_ = nullptr;

TEST_F(BadSectors, TheFolderIsNamedAndItsReadableEntriesListed) {
  ASSERT_EQ(healthy_->list.RowCount(), 100u);
  for (Card card : {Card::kFailing, Card::kMapped}) {
    OnCard failing(card);
    ASSERT_EQ(OnSearch(failing.context), 1);
    EXPECT_EQ(Photos(failing.list), ReadablePhotos());
    EXPECT_EQ(failing.list.RowCount(), 58u);
    EXPECT_TRUE(HasNote(failing.state, "DCIM/100CANON のフォルダの一部 (4 KiB) を読めませんでした。"))
        << ::testing::PrintToString(ReadDamageNotes(failing.state));
    if (card == Card::kFailing) {
      // Only the bad sectors were lost, after a few reads round them.
      EXPECT_EQ(volume::UnreadableIn(failing.state.readDamage, 0, 1 << 20),
                (std::vector<volume::ByteRange>{BadBytes()[0]}));
      EXPECT_LT(failing.device->reads, 200u);
    }
  }
}

// The map knows before any read what the rescue did not read: the damaged
// photo's row says so with its bytes; the others stay as they were.
TEST_F(BadSectors, AMappedRowOnUnreadableBytesSaysWhich) {
  OnCard mapped(Card::kMapped);
  ASSERT_EQ(OnSearch(mapped.context), 1);
  const std::vector<volume::Recoverability> states = RowStates(mapped.state, mapped.list);
  size_t unreadable = 0;
  for (size_t row = 0; row < mapped.list.RowCount(); ++row) {
    if (states[row].state != volume::RowState::kUnreadable) continue;
    ++unreadable;
    EXPECT_EQ(PhotoNumber(mapped.list.Cell(row, 0)), 3);
    EXPECT_EQ(states[row].unreadable, (std::vector<volume::ByteRange>{{65536, 131072}}));
    EXPECT_EQ(volume::RowStateText(states[row]), "読めない部分あり (バイト 65536-131071)");
    EXPECT_EQ(volume::RowStateKey(states[row].state), "unreadable");
  }
  EXPECT_EQ(unreadable, 1u);
}

// Every photo listed comes out as from the healthy card, but IMG_0003.JPG,
// whose 64 KiB the card could not give are zeros, named in its outcome; the
// same from the failing card and from its ddrescue copy.
TEST_F(BadSectors, RestoresMatchTheHealthyCardButTheDamagedPhoto) {
  TempDir healthyOut("vellum-bad-healthy-");
  {
    OnCard card(Card::kHealthy);
    RestoreSummary summary;
    ASSERT_EQ(OnRestore(card.context, {healthyOut.Path(), &healthy_->list, AllRows(healthy_->list), 0}, summary), 1);
    ASSERT_TRUE(summary.outcomes.AllIntact());
  }
  for (Card kind : {Card::kFailing, Card::kMapped}) {
    OnCard search(kind);
    ASSERT_EQ(OnSearch(search.context), 1);
    TempDir out("vellum-bad-failing-");
    OnCard card(kind);
    RestoreSummary summary;
    ASSERT_EQ(OnRestore(card.context, {out.Path(), &search.list, AllRows(search.list), 0}, summary), 1);
    EXPECT_EQ(summary.outcomes.Files(), 58u);
    size_t compared = 0;
    for (const restore::ItemOutcome& item : summary.outcomes.Items()) {
      const fs::path relative = fs::relative(item.path, out.Path());
      std::string expected = testing::ReadFile(fs::path(healthyOut.Path()) / relative);
      ASSERT_FALSE(expected.empty()) << relative;
      if (PhotoNumber(relative.filename().string()) == 3) {
        EXPECT_EQ(item.result, restore::ItemResult::kZeroFilled);
        ASSERT_EQ(item.zeroFilled.size(), 1u);
        EXPECT_EQ(item.zeroFilled[0].offset, 65536u);
        EXPECT_EQ(item.zeroFilled[0].length, 65536u);
        expected.replace(65536, 65536, 65536, '\0');
      } else {
        EXPECT_EQ(item.result, restore::ItemResult::kRestored) << relative;
      }
      EXPECT_TRUE(testing::ReadFile(item.path) == expected) << relative;
      ++compared;
    }
    EXPECT_EQ(compared, 58u);
  }
}

// A list made while the card was healthy: the rows whose entries now lie on
// bad sectors cannot be checked, and are skipped for that reason, never as
// rows of another card; every other row is restored.
TEST_F(BadSectors, AHealthyListIsNotTakenForAnotherCards) {
  for (Card kind : {Card::kFailing, Card::kMapped}) {
    TempDir out("vellum-bad-list-");
    OnCard card(kind);
    RestoreSummary summary;
    ASSERT_EQ(OnRestore(card.context, {out.Path(), &healthy_->list, AllRows(healthy_->list), 0}, summary), 1);
    EXPECT_EQ(summary.outcomes.WithReason(restore::kReasonNotOnVolume), 0u);
    EXPECT_EQ(summary.outcomes.WithReason(restore::kReasonUncheckedUnreadable), 42u);
    EXPECT_EQ(summary.outcomes.Files(), 58u);
    EXPECT_NE(SummaryText(summary).find("読めないセクタのため確かめられない行: 42 件"), std::string::npos)
        << SummaryText(summary);
  }
}

}  // namespace
}  // namespace vellum::app
