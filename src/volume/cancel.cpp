#include "volume/cancel.h"

namespace vellum::volume {

bool CancelRequested(ScanState& state) {
  if (state.cancelled != 0) return true;
  if (state.progress != nullptr && state.progress->PumpAndCheckCancel() != 0) state.cancelled = 1;
  return state.cancelled != 0;
}

bool CancelledAt(ScanState& state, uint64_t at, bool due) {
  if (state.cancelled != 0) return true;
  if (state.progress != nullptr && due && state.progress->Update(at) == 0) state.cancelled = 1;
  return state.cancelled != 0;
}

}  // namespace vellum::volume
