// A progress window whose user pressed Cancel before the walk began.
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

}  // namespace vellum::testing
