// The progress window of a walk, without the window: what it counts, what it
// shows and when, and the cancel flag. The Qt dialog and the terminal line
// only draw what this model tells their ProgressView.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "volume/seams.h"

namespace vellum::app {

inline constexpr int kProgressDialogId = 105;
inline constexpr int kFileLabelId = 1015;       // "ファイル：", hidden until ShowFileLabel
inline constexpr int kFileNameId = 1005;        // the entry being listed
inline constexpr int kCounterCaptionId = 1006;  // the phase's caption
inline constexpr int kCounterTextId = 1007;     // "current / total"
inline constexpr int kPercentId = 1004;
inline constexpr int kProgressBarId = 1003;
inline constexpr int kProgressCancelId = 2;
// Beyond the template: how fast the phase goes and its time left, beside
// the percentage.
inline constexpr int kSpeedId = 1016;
inline constexpr int kTimeLeftId = 1017;
// The two are told again at most this often, so they can be read.
inline constexpr uint64_t kTimeLeftIntervalMs = 500;

inline constexpr std::string_view kProgressTitle = "Vellum";
inline constexpr std::string_view kFileLabelText = "ファイル：";
inline constexpr std::string_view kInitialPercentText = " 0 %";
inline constexpr std::string_view kProgressCancelText = "ｷｬﾝｾﾙ";
inline constexpr std::string_view kClusterPhaseCaption = "クラスタ：";
// A restore's phase counts bytes written, which need all 64 bits in the counter.
inline constexpr std::string_view kRestoreBytesCaption = "バイト：";
inline constexpr std::string_view kFileNumberPhaseCaption = "ﾌｧｲﾙ番号：";
inline constexpr std::string_view kRewritingFileInfoText = "ファイル情報書換中";

inline constexpr int kBarLow = 0;
inline constexpr int kBarHigh = 100;
inline constexpr int kBarStep = 1;

// The drawing side of the progress window. Its bar always spans
// kBarLow..kBarHigh; the model sends positions only.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  // Creates and shows the window with the given title; false when it cannot.
  virtual bool Create(std::string_view title) = 0;
  virtual void Destroy() = 0;
  virtual void SetLabelText(int id, std::string_view text) = 0;
  // Also repaints, so a label shown mid-walk appears at once.
  virtual void SetLabelVisible(int id, bool visible) = 0;
  virtual void SetBarPosition(int position) = 0;
  // Handles pending input and painting without waiting. True when the user
  // asked to cancel (button, Enter, Esc, close box, Ctrl+C) since the last call.
  virtual bool PumpEvents() = 0;
  // The window that is disabled while the progress window exists.
  virtual bool IsOwnerEnabled() = 0;
  virtual void SetOwnerEnabled(bool enabled) = 0;
};

// The view must outlive the model: closing, also from the destructor, talks to it.
class ProgressModel : public Progress {
 public:
  explicit ProgressModel(ProgressView& view) : view_(view) {}
  ~ProgressModel() override;
  ProgressModel(const ProgressModel&) = delete;
  ProgressModel& operator=(const ProgressModel&) = delete;

  int OpenProgress() override;
  void StartPhase(std::string_view caption, uint64_t total) override;
  void ShowFileLabel() override;
  int Update(uint64_t current) override;
  int PumpAndCheckCancel() override;
  void SetFileName(std::string_view name) override;
  void CloseProgress() override;

  // The clock the time left is told by (milliseconds, monotonic; the steady
  // clock unless replaced), and the bytes a step of a phase with a given
  // caption stands for (a cluster, a byte), so its speed reads in MB/s.
  void SetClock(std::function<uint64_t()> nowMs) { nowMs_ = std::move(nowMs); }
  void SetUnitBytes(std::function<uint64_t(std::string_view)> unitBytes) { unitBytes_ = std::move(unitBytes); }

  // The Cancel button and its keys; the flag stays set for the model's life.
  void Cancel() { cancelled_ = 1; }
  bool IsCancelled() const { return cancelled_ != 0; }
  int BarPosition() const { return barPosition_; }
  const std::string& PercentText() const { return percentText_; }

 private:
  void StepBar();
  // The speed and the time left, from the steps done since the phase's
  // first update over the time since then.
  void ShowTimeLeft(uint64_t current);
  void SetText(int id, std::string& shown, std::string text);

  ProgressView& view_;
  std::function<uint64_t()> nowMs_;
  std::function<uint64_t(std::string_view)> unitBytes_;
  std::string caption_;
  bool phaseTimed_ = false;
  uint64_t phaseStartMs_ = 0;
  uint64_t phaseStartCount_ = 0;
  uint64_t timeShownMs_ = 0;
  std::string speedText_;
  std::string timeLeftText_;
  bool windowOpen_ = false;
  bool disabledOwner_ = false;
  int cancelled_ = 0;
  uint64_t total_ = 1;
  std::string totalText_;
  bool wide_ = false;  // the counter shows all 64 bits (bytes)
  uint32_t stepsShown_ = 0;
  int barPosition_ = kBarLow;
  std::string percentText_{kInitialPercentText};
};

// current * 100 / total, truncated, exact for every 64-bit pair and capped at
// 100; total 0 counts as 1.
uint32_t PercentOf(uint64_t current, uint64_t total);

}  // namespace vellum::app
