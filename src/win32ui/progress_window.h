// The progress window of a walk (template 105): a modeless dialog over the
// main window, fed by the shared progress model. Asked about Cancel, it
// handles the thread's pending messages, so the window stays alive while
// the walk runs on the same thread.
#pragma once

#include <windows.h>

#include "app/progress_model.h"

namespace vellum::win32ui {

class ProgressWindow final : public app::ProgressView {
 public:
  ProgressWindow(HINSTANCE instance, HWND owner) : instance_(instance), owner_(owner) {}
  ~ProgressWindow() override { Destroy(); }

  bool Create(std::string_view title) override;
  void Destroy() override;
  void SetLabelText(int id, std::string_view text) override;
  void SetLabelVisible(int id, bool visible) override;
  void SetBarPosition(int position) override;
  bool PumpEvents() override;
  bool IsOwnerEnabled() override { return owner_ && IsWindowEnabled(owner_); }
  void SetOwnerEnabled(bool enabled) override {
    if (owner_) EnableWindow(owner_, enabled);
  }

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l);

  HINSTANCE instance_;
  HWND owner_;
  HWND dialog_ = nullptr;
  bool cancelAsked_ = false;
};

// The Progress a walk is given: the model over its own window.
class WindowProgress final : public Progress {
 public:
  WindowProgress(HINSTANCE instance, HWND owner) : window_(instance, owner), model_(window_) {}
  int OpenProgress() override { return model_.OpenProgress(); }
  void StartPhase(std::string_view caption, uint64_t total) override { model_.StartPhase(caption, total); }
  void ShowFileLabel() override { model_.ShowFileLabel(); }
  int Update(uint64_t current) override { return model_.Update(current); }
  int PumpAndCheckCancel() override { return model_.PumpAndCheckCancel(); }
  void SetFileName(std::string_view name) override { model_.SetFileName(name); }
  void CloseProgress() override { model_.CloseProgress(); }

 private:
  ProgressWindow window_;
  app::ProgressModel model_;  // after the window: it closes it when it goes
};

}  // namespace vellum::win32ui
