// The cluster-range question of the cluster scans (template 138): two
// numbers, checked by the rules the command line's --range shares.
#pragma once

#include <windows.h>

#include "volume/seams.h"
#include "win32ui/window_messages.h"

namespace vellum::win32ui {

class ClusterRangeDialog final : public ClusterRangeAsker {
 public:
  ClusterRangeDialog(HINSTANCE instance, HWND owner, WindowMessages& messages)
      : instance_(instance), owner_(owner), messages_(messages) {}
  bool RunClusterRangeDialog(uint64_t& start, uint64_t& end) override;

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l);
  bool OnOk(HWND dialog);

  HINSTANCE instance_;
  HWND owner_;
  WindowMessages& messages_;
  uint64_t start_ = 0;
  uint64_t end_ = 0;
};

}  // namespace vellum::win32ui
