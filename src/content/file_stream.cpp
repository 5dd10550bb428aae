#include "content/file_stream.h"

#include "volume/cancel.h"

namespace vellum::content {

namespace {

// Cancel is asked once every this many fetches: often enough to answer at
// once, rarely enough that a window's message pump costs nothing per packet.
constexpr uint64_t kFetchesPerCancelPoll = 256;

}  // namespace

bool FileStream::PollCancel() {
  if (state_.cancelled != 0) return true;
  return ++fetches_ % kFetchesPerCancelPoll == 0 && volume::CancelRequested(state_);
}

ByteView FileStream::At(uint64_t offset, size_t need) {
  if (need == 0 || need > state_.clusterBytes || offset < walk_.Pos()) return {};
  uint64_t end = 0;
  if (!CheckedAdd(offset, need, end) || end > kMaxStreamedBytes || PollCancel()) return {};
  if (!walk_.MoveToNextRecord(offset - walk_.Pos(), need)) return {};
  const ByteView held = walk_.Current();
  return held.size() >= need ? held : ByteView{};
}

}  // namespace vellum::content
