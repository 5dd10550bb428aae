#include "app/progress_model.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <vector>

namespace vellum::app {
namespace {

// Records what a window would show; Cancel is pressed by setting cancelAtPump.
struct FakeView : ProgressView {
  bool Create(std::string_view title) override {
    ++creates;
    this->title = title;
    return createSucceeds;
  }
  void Destroy() override { ++destroys; }
  void SetLabelText(int id, std::string_view text) override {
    labels[id] = text;
    if (id == kPercentId) percentWrites.emplace_back(text);
  }
  void SetLabelVisible(int id, bool visible) override { visibility[id] = visible; }
  void SetBarPosition(int position) override { positions.push_back(position); }
  bool PumpEvents() override {
    ++pumps;
    return cancelAtPump != 0 && pumps >= cancelAtPump;
  }
  bool IsOwnerEnabled() override { return ownerEnabled; }
  void SetOwnerEnabled(bool enabled) override { ownerEnabled = enabled; }

  bool createSucceeds = true;
  bool ownerEnabled = true;
  int creates = 0, destroys = 0, pumps = 0, cancelAtPump = 0;
  std::string title;
  std::map<int, std::string> labels;
  std::map<int, bool> visibility;
  std::vector<int> positions;
  std::vector<std::string> percentWrites;
};

TEST(ProgressModel, OpensWithTheTemplateStateAndGivesTheOwnerBack) {
  FakeView view;
  {
    ProgressModel progress(view);
    ASSERT_EQ(progress.OpenProgress(), 1);
    EXPECT_FALSE(view.ownerEnabled);
    EXPECT_EQ(view.title, "Vellum");
    EXPECT_EQ(view.labels[kPercentId], " 0 %");
    EXPECT_FALSE(view.visibility[kFileLabelId]);
    progress.ShowFileLabel();
    EXPECT_TRUE(view.visibility[kFileLabelId]);
    EXPECT_EQ(view.labels[kFileLabelId], "ファイル：");
  }  // destroying the model closes the window it left open
  EXPECT_TRUE(view.ownerEnabled);
  EXPECT_EQ(view.destroys, 1);
}

TEST(ProgressModel, TouchesTheOwnerOnlyWhenItDisabledIt) {
  FakeView disabledOwner;
  disabledOwner.ownerEnabled = false;
  ProgressModel progress(disabledOwner);
  progress.OpenProgress();
  progress.CloseProgress();
  EXPECT_FALSE(disabledOwner.ownerEnabled);

  FakeView noWindow;
  noWindow.createSucceeds = false;
  ProgressModel failed(noWindow);
  EXPECT_EQ(failed.OpenProgress(), 0);
  EXPECT_TRUE(noWindow.ownerEnabled);
  failed.CloseProgress();
  EXPECT_EQ(noWindow.destroys, 0);
}

TEST(ProgressModel, UpdateAtTheTotalFillsTheBar) {
  FakeView view;
  ProgressModel progress(view);
  progress.OpenProgress();
  progress.StartPhase(kClusterPhaseCaption, 65525);
  EXPECT_EQ(progress.Update(65525), 1);
  EXPECT_EQ(view.labels[kCounterCaptionId], "クラスタ：");
  EXPECT_EQ(view.labels[kCounterTextId], "65525 / 65525");
  EXPECT_EQ(progress.BarPosition(), 100);
  EXPECT_EQ(view.labels[kPercentId], "100%");
  // One step at a time, each shown.
  ASSERT_EQ(view.positions.size(), 101u);
  EXPECT_EQ(view.positions[37], 37);
}

TEST(ProgressModel, PercentTextTruncatesAndIsWrittenOnlyWhenItChanges) {
  FakeView view;
  ProgressModel progress(view);
  progress.OpenProgress();
  progress.StartPhase(kFileNumberPhaseCaption, 1000);
  progress.Update(379);  // 37.9 %
  EXPECT_EQ(view.labels[kPercentId], "37%");
  EXPECT_EQ(view.labels[kCounterTextId], "379 / 1000");
  const size_t writes = view.percentWrites.size();
  progress.Update(379);
  progress.Update(375);  // going back does not move the bar
  EXPECT_EQ(view.percentWrites.size(), writes);
  EXPECT_EQ(progress.BarPosition(), 37);
}

TEST(ProgressModel, CounterTextNeedsACaptionAndShows32Bits) {
  FakeView view;
  ProgressModel progress(view);
  progress.OpenProgress();
  progress.StartPhase("", 4);
  progress.Update(1);
  EXPECT_EQ(view.labels.count(kCounterTextId), 0u);
  EXPECT_EQ(view.labels[kPercentId], "25%");
  progress.StartPhase(kClusterPhaseCaption, (uint64_t{1} << 32) + 10);
  progress.Update((uint64_t{1} << 32) + 3);
  EXPECT_EQ(view.labels[kCounterTextId], "3 / 10");
  progress.StartPhase(kRestoreBytesCaption, uint64_t{5} << 32);
  progress.Update(uint64_t{1} << 32);
  EXPECT_EQ(view.labels[kCounterTextId], "4294967296 / 21474836480");
}

TEST(ProgressModel, SecondPhaseStartsFromTheBarItFound) {
  FakeView view;
  ProgressModel progress(view);
  progress.OpenProgress();
  progress.StartPhase("", 10);
  progress.Update(10);
  progress.StartPhase("", 10);
  progress.Update(5);
  // Stepping past the end starts over; the phase still ends on a full bar.
  EXPECT_EQ(progress.BarPosition(), 50);
  EXPECT_EQ(view.labels[kPercentId], "50%");
  progress.Update(10);
  EXPECT_EQ(progress.BarPosition(), 100);
  EXPECT_EQ(view.labels[kPercentId], "100%");
}

TEST(ProgressModel, CancelStopsUpdatesAndNeverClears) {
  FakeView view;
  ProgressModel progress(view);
  progress.OpenProgress();
  progress.StartPhase(kClusterPhaseCaption, 100);
  EXPECT_EQ(progress.PumpAndCheckCancel(), 0);
  view.cancelAtPump = view.pumps + 1;
  EXPECT_EQ(progress.Update(50), 0);
  EXPECT_EQ(progress.BarPosition(), 0);  // nothing drawn after the cancel
  view.cancelAtPump = 0;                 // the view has nothing new to say
  EXPECT_EQ(progress.PumpAndCheckCancel(), 1);
  progress.StartPhase(kClusterPhaseCaption, 100);
  EXPECT_EQ(progress.Update(1), 0);
}

TEST(ProgressModel, CancelDuringTheStepsIsSeenAtTheNextCheck) {
  FakeView view;
  ProgressModel progress(view);
  progress.OpenProgress();
  progress.StartPhase("", 100);
  view.cancelAtPump = view.pumps + 3;  // pressed while the bar advances
  EXPECT_EQ(progress.Update(10), 1);
  EXPECT_EQ(progress.BarPosition(), 10);
  EXPECT_EQ(progress.Update(11), 0);
}

TEST(PercentOf, ExactForHugeValuesAndCappedAtTheTotal) {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  EXPECT_EQ(PercentOf(kMax - 1, kMax), 99u);
  EXPECT_EQ(PercentOf(kMax / 2, kMax), 49u);
  EXPECT_EQ(PercentOf(kMax / 100 * 37 + 1000, kMax), 37u);
  // 1.9e17 * 100 overflows 64 bits; the answer is still the truncated 95.
  EXPECT_EQ(PercentOf(190000000000000000, 200000000000000000), 95u);
  EXPECT_EQ(PercentOf(5, 3), 100u);
  EXPECT_EQ(PercentOf(kMax, 1), 100u);
  EXPECT_EQ(PercentOf(0, 0), 0u);
  EXPECT_EQ(PercentOf(1, 0), 100u);
}

TEST(ProgressModel, CurrentFarPastTheTotalStopsAtAFullBar) {
  FakeView view;
  ProgressModel progress(view);
  progress.OpenProgress();
  progress.StartPhase("", 1);
  EXPECT_EQ(progress.Update(std::numeric_limits<uint64_t>::max()), 1);
  EXPECT_EQ(progress.BarPosition(), 100);
  EXPECT_EQ(view.positions.size(), 101u);
}

// The time left is told from the phase's own start: a scan of clusters
// 1000-2000 that has done 250 of them in 5 s has 15 s to go, whatever came
// before; a new phase starts without one.
TEST(ProgressModel, TellsTheTimeLeftOfThePhaseFromItsFirstUpdate) {
  FakeView view;
  ProgressModel progress(view);
  uint64_t now = 10'000;
  progress.SetClock([&now] { return now; });
  progress.SetUnitBytes([](std::string_view caption) { return caption == "クラスタ：" ? 4096u : 0u; });
  ASSERT_EQ(progress.OpenProgress(), 1);
  progress.StartPhase("クラスタ：", 2000);
  progress.Update(1000);
  now += 1000;
  progress.Update(1050);
  EXPECT_EQ(view.labels[kTimeLeftId], "");  // too early to say
  now += 4000;
  progress.Update(1250);
  EXPECT_EQ(view.labels[kTimeLeftId], "残り 0:15");
  EXPECT_EQ(view.labels[kSpeedId], "0.2 MB/s");
  now += 100;
  progress.Update(1300);
  EXPECT_EQ(view.labels[kTimeLeftId], "残り 0:15");  // not told again so soon
  progress.StartPhase("", 10);
  EXPECT_EQ(view.labels[kTimeLeftId], "");
  EXPECT_EQ(view.labels[kSpeedId], "");
}

}  // namespace
}  // namespace vellum::app
