#include "app/progress_model.h"

#include <chrono>
#include <cstdio>
#include <limits>

#include "app/rate_text.h"

namespace vellum::app {

namespace {

// floor(10 * x / t) for x < t, leaving the remainder in rem, without forming
// 10 * x (which overflows once x passes 2^64 / 10).
uint32_t TenthsOf(uint64_t x, uint64_t t, uint64_t& rem) {
  uint32_t digit = 0;
  uint64_t r = 0;
  for (int i = 0; i < 10; ++i) {
    const uint64_t sum = r + x;  // r, x < t, so the true sum is below 2t
    if (sum < r || sum >= t) {
      r = sum - t;
      ++digit;
    } else {
      r = sum;
    }
  }
  rem = r;
  return digit;
}

std::string PercentTextOf(int position) {
  const int p = (position - kBarLow) * 100 / (kBarHigh - kBarLow);
  char text[16];
  std::snprintf(text, sizeof text, "%d%c", p == 100 ? p : p % 100, '%');
  return text;
}

}  // namespace

uint32_t PercentOf(uint64_t current, uint64_t total) {
  if (total == 0) total = 1;
  // Past the total the bar is simply full: stepping towards a percentage in
  // the billions would hold the walk in the loop for good.
  if (current >= total) return 100;
  if (current <= std::numeric_limits<uint64_t>::max() / 100) {
    return static_cast<uint32_t>(current * 100 / total);
  }
  uint64_t rem = 0;
  const uint32_t tens = TenthsOf(current, total, rem);
  return tens * 10 + TenthsOf(rem, total, rem);
}

namespace {

uint64_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

ProgressModel::~ProgressModel() { CloseProgress(); }

void ProgressModel::SetText(int id, std::string& shown, std::string text) {
  if (text == shown) return;
  shown = std::move(text);
  view_.SetLabelText(id, shown);
}

void ProgressModel::ShowTimeLeft(uint64_t current) {
  const uint64_t now = nowMs_ ? nowMs_() : SteadyMs();
  if (!phaseTimed_) {
    phaseTimed_ = true;
    phaseStartMs_ = timeShownMs_ = now;
    phaseStartCount_ = current;
    return;
  }
  if (now - timeShownMs_ < kTimeLeftIntervalMs || current < phaseStartCount_ || total_ < phaseStartCount_) return;
  timeShownMs_ = now;
  const uint64_t done = current - phaseStartCount_, all = total_ - phaseStartCount_, elapsed = now - phaseStartMs_;
  SetText(kSpeedId, speedText_, SpeedText(done, elapsed, unitBytes_ ? unitBytes_(caption_) : 0));
  SetText(kTimeLeftId, timeLeftText_, TimeLeftText(done, all, elapsed));
}

int ProgressModel::OpenProgress() {
  if (windowOpen_) return 1;
  if (view_.IsOwnerEnabled()) {
    view_.SetOwnerEnabled(false);
    disabledOwner_ = true;
  }
  if (!view_.Create(kProgressTitle)) {
    if (disabledOwner_) view_.SetOwnerEnabled(true);
    disabledOwner_ = false;
    return 0;
  }
  windowOpen_ = true;
  barPosition_ = kBarLow;
  percentText_ = kInitialPercentText;
  view_.SetLabelText(kFileLabelId, kFileLabelText);
  view_.SetLabelVisible(kFileLabelId, false);
  view_.SetLabelText(kPercentId, percentText_);
  view_.SetBarPosition(barPosition_);
  return 1;
}

void ProgressModel::StartPhase(std::string_view caption, uint64_t total) {
  view_.SetLabelText(kCounterCaptionId, caption);
  caption_ = caption;
  phaseTimed_ = false;
  SetText(kSpeedId, speedText_, {});
  SetText(kTimeLeftId, timeLeftText_, {});
  total_ = total;
  wide_ = caption == kRestoreBytesCaption;
  totalText_ = caption.empty() ? std::string() : std::to_string(wide_ ? total : static_cast<uint32_t>(total));
  stepsShown_ = 0;
}

void ProgressModel::ShowFileLabel() { view_.SetLabelVisible(kFileLabelId, true); }

int ProgressModel::Update(uint64_t current) {
  if (PumpAndCheckCancel()) return 0;
  if (!totalText_.empty()) {
    // Cluster and record numbers fit 32 bits, which is all the label shows.
    view_.SetLabelText(kCounterTextId,
                       std::to_string(wide_ ? current : static_cast<uint32_t>(current)) + " / " + totalText_);
  }
  ShowTimeLeft(current);
  const uint32_t percent = PercentOf(current, total_);
  while (stepsShown_ < percent) {
    if (view_.PumpEvents()) Cancel();
    StepBar();
    ++stepsShown_;
  }
  return 1;
}

int ProgressModel::PumpAndCheckCancel() {
  if (view_.PumpEvents()) Cancel();
  return cancelled_;
}

void ProgressModel::SetFileName(std::string_view name) { view_.SetLabelText(kFileNameId, name); }

void ProgressModel::CloseProgress() {
  if (disabledOwner_) view_.SetOwnerEnabled(true);
  disabledOwner_ = false;
  if (windowOpen_) view_.Destroy();
  windowOpen_ = false;
}

void ProgressModel::StepBar() {
  // A bar stepped past its end starts over from the beginning, so a second
  // phase after a full first one fills the bar again.
  barPosition_ += kBarStep;
  if (barPosition_ > kBarHigh) barPosition_ = kBarLow + (barPosition_ - kBarLow) % (kBarHigh - kBarLow);
  view_.SetBarPosition(barPosition_);
  std::string text = PercentTextOf(barPosition_);
  if (text != percentText_) {
    percentText_ = std::move(text);
    view_.SetLabelText(kPercentId, percentText_);
  }
}

}  // namespace vellum::app
