#include "cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <csignal>

namespace vellum::cli {
namespace {

struct FakeTerminal {
  TerminalSink Sink(bool isTerminal) {
    TerminalSink sink;
    sink.isTerminal = isTerminal;
    sink.nowMs = [this] { return nowMs; };
    sink.columns = [this] { return columns; };
    sink.write = [this](std::string_view text) {
      out += text;
      ++writes;
    };
    sink.interrupted = [this] { return interrupted; };
    return sink;
  }
  // What the line shows now: the text after the last carriage return.
  std::string Line() const { return out.substr(out.rfind('\r') + 1); }

  uint64_t nowMs = 1000;
  int columns = 80;
  bool interrupted = false;
  std::string out;
  int writes = 0;
};

void RunPhase(app::ProgressModel& progress, uint64_t total) {
  progress.StartPhase(app::kClusterPhaseCaption, total);
  progress.ShowFileLabel();
  for (uint64_t i = 1; i <= total; ++i) {
    progress.SetFileName("FILE" + std::to_string(i) + ".TXT");
    progress.Update(i);
  }
}

TEST(TerminalProgress, WritesNothingWhenStderrIsNotATerminal) {
  FakeTerminal terminal;
  TerminalProgressView view(terminal.Sink(false));
  app::ProgressModel progress(view);
  ASSERT_EQ(progress.OpenProgress(), 1);
  RunPhase(progress, 50);
  terminal.interrupted = true;  // Ctrl+C still cancels
  EXPECT_EQ(progress.Update(50), 0);
  view.ClearLine();
  progress.CloseProgress();
  EXPECT_EQ(terminal.writes, 0);
}

TEST(TerminalProgress, RedrawsAtMostTenTimesASecond) {
  FakeTerminal terminal;
  TerminalProgressView view(terminal.Sink(true));
  app::ProgressModel progress(view);
  progress.OpenProgress();
  RunPhase(progress, 500);  // the clock stands still: nothing is drawn yet
  terminal.nowMs += 99;
  progress.PumpAndCheckCancel();
  EXPECT_EQ(terminal.writes, 0);
  terminal.nowMs += 1;
  progress.PumpAndCheckCancel();  // the pending state appears once time allows
  EXPECT_EQ(terminal.writes, 1);
  EXPECT_EQ(terminal.Line(), "クラスタ：500 / 500  100%  ファイル：FILE500.TXT");
  RunPhase(progress, 500);
  EXPECT_EQ(terminal.writes, 1);
  terminal.nowMs += 1000;
  progress.PumpAndCheckCancel();
  progress.PumpAndCheckCancel();  // nothing changed since: nothing written
  EXPECT_EQ(terminal.writes, 2);
}

TEST(TerminalProgress, ShorterLinesBlankTheRestAndClosingWipesTheLine) {
  FakeTerminal terminal;
  TerminalProgressView view(terminal.Sink(true));
  app::ProgressModel progress(view);
  progress.OpenProgress();
  terminal.nowMs += 100;
  progress.SetFileName("A_RATHER_LONG_NAME.TXT");
  EXPECT_EQ(terminal.Line(), "0 %  A_RATHER_LONG_NAME.TXT");
  terminal.nowMs += 100;
  progress.SetFileName("B.TXT");
  EXPECT_EQ(terminal.Line(), "0 %  B.TXT" + std::string(17, ' '));
  progress.CloseProgress();
  EXPECT_TRUE(terminal.out.ends_with("\r" + std::string(10, ' ') + "\r"));
}

TEST(TerminalProgress, LineFitsTheTerminalAndNamesCannotSteerIt) {
  FakeTerminal terminal;
  terminal.columns = 12;
  TerminalProgressView view(terminal.Sink(true));
  app::ProgressModel progress(view);
  progress.OpenProgress();
  terminal.nowMs += 100;
  progress.SetFileName("\x1b[2J\r\n");
  EXPECT_EQ(terminal.Line(), "0 %  ?[2J??");
  terminal.nowMs += 100;
  progress.SetFileName("ああああああ");  // two columns each: three fit after "0 %  "
  EXPECT_EQ(terminal.Line().substr(0, 14), "0 %  あああ");
}

TEST(FitToColumns, CountsWideCharactersAndReplacesBrokenBytes) {
  size_t used = 0;
  EXPECT_EQ(FitToColumns("ﾌｧｲﾙ番号：", 7, used), "ﾌｧｲﾙ番");
  EXPECT_EQ(used, 6u);
  EXPECT_EQ(FitToColumns("a\xff\xe3\x81z", 10, used), "a???z");
  EXPECT_EQ(FitToColumns("\xed\xa0\x80", 10, used), "???");  // a lone surrogate
  EXPECT_EQ(FitToColumns("\xc2\x9b" "1m", 10, used), "?1m");   // the one-byte CSI
  EXPECT_EQ(FitToColumns("abc", 0, used), "");
}

TEST(InterruptGuard, CtrlCSetsTheFlagAndTheSecondGetsTheDefaultBack) {
  struct sigaction before {};
  sigaction(SIGINT, nullptr, &before);
  {
    InterruptGuard guard;
    std::raise(SIGINT);
    EXPECT_TRUE(InterruptGuard::Interrupted());
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
  }
  struct sigaction after {};
  sigaction(SIGINT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace vellum::cli

namespace vellum::cli {
namespace {

// Nothing is promised before there is something to go on; then the rate in
// the phase's unit and the time left at that rate.
TEST(ProgressRate, RateAndTimeLeftOnceTheyMeanSomething) {
  EXPECT_EQ(RateText(500, 1000, 1999), "");
  EXPECT_EQ(RateText(0, 1000, 5000), "");
  EXPECT_EQ(RateText(500, 1000, 2000), "250/s  残り 0:02");
  EXPECT_EQ(RateText(100, 100'000, 10'000), "10/s  残り 166:30");
  EXPECT_EQ(RateText(1000, 1000, 4000), "250/s");
  // Clusters of 4 KiB, and bytes of a restore past what 64-bit products hold.
  EXPECT_EQ(RateText(25'000, 50'000, 2000, 4096), "51.2 MB/s  残り 0:02");
  EXPECT_EQ(RateText(uint64_t{1} << 40, uint64_t{1} << 41, 3'600'000, 1), "305.4 MB/s  残り 60:00");
}

}  // namespace
}  // namespace vellum::cli
