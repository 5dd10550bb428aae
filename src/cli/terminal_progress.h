// The command line's progress window: one line on standard error, redrawn in
// place, and Ctrl+C as its Cancel button.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "app/progress_model.h"
#include "app/rate_text.h"
#include "volume/scan_state.h"

namespace vellum::cli {

// Where the line goes and how fast time passes; tests replace all four.
struct TerminalSink {
  bool isTerminal = false;
  std::function<uint64_t()> nowMs;          // a monotonic clock in milliseconds
  std::function<int()> columns;             // the terminal's width
  std::function<void(std::string_view)> write;
  std::function<bool()> interrupted;        // Ctrl+C was pressed
};

// Standard error as it is: whether it is a terminal, the steady clock, the
// terminal's width (else $COLUMNS, else 80), a direct write, and
// InterruptGuard::Interrupted.
TerminalSink StderrSink();

inline constexpr uint64_t kRedrawIntervalMs = 100;

class TerminalProgressView : public app::ProgressView {
 public:
  explicit TerminalProgressView(TerminalSink sink);

  bool Create(std::string_view title) override;
  void Destroy() override;
  void SetLabelText(int id, std::string_view text) override;
  void SetLabelVisible(int id, bool visible) override;
  void SetBarPosition(int position) override;
  bool PumpEvents() override;
  bool IsOwnerEnabled() override { return false; }
  void SetOwnerEnabled(bool) override {}

  // How many bytes one step of the phase with this caption stands for (a
  // cluster of a scan, a byte of a restore), so that its rate reads in MB/s;
  // 0 keeps the phase's own unit (entries, records).
  void SetUnitBytes(std::function<uint64_t(std::string_view caption)> unitBytes) { unitBytes_ = std::move(unitBytes); }

  // Wipes the line so that a message can be written on a clean line; the next
  // change draws it again.
  void ClearLine();

 private:
  void Changed();
  void Draw();
  std::string Compose() const;

  TerminalSink sink_;
  bool open_ = false;
  bool dirty_ = false;
  uint64_t lastDrawMs_ = 0;
  size_t drawnColumns_ = 0;
  std::map<int, std::string> labels_;
  bool fileLabelVisible_ = false;
  // Where the phase started, for its rate and the time left.
  std::string phaseCaption_;
  bool phaseStarted_ = false;
  uint64_t phaseStartMs_ = 0;
  uint64_t phaseStartCount_ = 0;
  std::function<uint64_t(std::string_view)> unitBytes_;
  std::string RateAndTimeLeft() const;
};

// The line's text cut to at most maxColumns terminal columns. Control
// characters and broken UTF-8 (names come from the disk) become '?', so a
// name can never move the cursor or send the terminal an escape sequence.
std::string FitToColumns(std::string_view text, size_t maxColumns, size_t& usedColumns);

// The rate and the time left, as the progress window tells them too.
using app::RateText;
using app::UnitBytesOf;

// Ctrl+C (and SIGTERM, SIGHUP) for the length of a command: the first cancels the running walk and
// every later one of the command (each TerminalProgressView reports it from
// PumpEvents), the second gets the default action back and ends the program.
// The flag is process-wide because a signal handler can reach nothing else.
class InterruptGuard {
 public:
  InterruptGuard();  // installs the handler
  ~InterruptGuard();  // restores the previous action
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // True once Ctrl+C has been pressed; the command then exits with status 130
  // after writing what it found.
  static bool Interrupted();
  // The exit status of an interrupted command: 130 for Ctrl+C (or a Cancel
  // of the command's own), 143 for SIGTERM, 129 for SIGHUP.
  static int ExitStatus();

 private:
  bool installed_ = false;
};

inline constexpr int kExitInterrupted = 130;

}  // namespace vellum::cli
