// Progress windows whose user presses Cancel: before the walk began, or at
// a chosen moment of it.
#pragma once

#include "volume/seams.h"

namespace vellum::testing {

class CancellingProgress : public Progress {
 public:
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t) override { return 0; }
  int PumpAndCheckCancel() override { return 1; }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}
};

// What a window was asked, kept beyond its life (a command destroys the
// windows it makes).
struct ProgressLog {
  int pumps = 0;
  uint64_t lastUpdate = 0;
  bool updated = false;
};

// Cancel is pressed during the n-th PumpAndCheckCancel (the polls of a size
// analysis); 0 never. As in the real window, once pressed it stays pressed,
// and Update reports it too. Update itself is not counted as a poll.
class CancelOnPump : public Progress {
 public:
  explicit CancelOnPump(int pump, ProgressLog* log = nullptr) : left_(pump), log_(log ? log : &own_) {}
  int OpenProgress() override { return 1; }
  void StartPhase(std::string_view, uint64_t) override {}
  void ShowFileLabel() override {}
  int Update(uint64_t current) override {
    log_->lastUpdate = current;
    log_->updated = true;
    return cancelled_ ? 0 : 1;
  }
  int PumpAndCheckCancel() override {
    ++log_->pumps;
    if (left_ > 0 && --left_ == 0) cancelled_ = 1;
    return cancelled_;
  }
  void SetFileName(std::string_view) override {}
  void CloseProgress() override {}

 private:
  int left_;
  int cancelled_ = 0;
  ProgressLog own_;
  ProgressLog* log_;
};

}  // namespace vellum::testing
