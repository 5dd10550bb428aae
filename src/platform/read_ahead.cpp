#include "platform/read_ahead.h"

#include <algorithm>
#include <cstring>

namespace vellum::platform {

ReadAheadDevice::ReadAheadDevice(std::unique_ptr<BlockDevice> inner)
    : inner_(std::move(inner)), blocks_(kBlocks) {}

const ReadAheadDevice::Block* ReadAheadDevice::Load(uint64_t index) {
  ++clock_;
  for (Block& b : blocks_) {
    if (b.index == index) {
      b.lastUse = clock_;
      return &b;
    }
  }
  const uint64_t start = index * kBlockBytes;
  const uint64_t size = inner_->Size();
  if (start >= size || failed_.count(index) != 0) return nullptr;
  // Keep the device fetching the blocks after this one, each asked for once.
  const uint64_t hintFrom = std::max(hintedEnd_, index + 1);
  const uint64_t hintTo = index + 1 + kHintAhead;
  if (hintFrom < hintTo) {
    inner_->WillRead(hintFrom * kBlockBytes, (hintTo - hintFrom) * kBlockBytes);
    hintedEnd_ = hintTo;
  }
  // The blocks of views handed out sort last, so they are never evicted.
  const auto age = [this](const Block& b) {
    const bool held = b.index != UINT64_MAX && (b.index == pinned_[0] || b.index == pinned_[1]);
    return held ? UINT64_MAX : b.lastUse;
  };
  Block& victim = *std::min_element(blocks_.begin(), blocks_.end(),
                                    [&](const Block& a, const Block& b) { return age(a) < age(b); });
  victim.bytes.resize(std::min(kBlockBytes, size - start));
  victim.lastUse = clock_;
  if (inner_->Read(start, victim.bytes)) {
    victim.index = index;
    return &victim;
  }
  victim.index = UINT64_MAX;
  failed_.insert(index);
  return nullptr;
}

bool ReadAheadDevice::CopyFromBlocks(uint64_t offset, std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const uint64_t at = offset + done;
    const Block* b = Load(at / kBlockBytes);
    const uint64_t within = at % kBlockBytes;
    if (b == nullptr || within >= b->bytes.size()) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(b->bytes.size() - within, out.size() - done));
    std::memcpy(out.data() + done, b->bytes.data() + within, n);
    done += n;
  }
  return true;
}

bool ReadAheadDevice::Read(uint64_t offset, std::span<uint8_t> out) {
  // Large transfers, ranges that wrap, and anything the blocks cannot serve
  // whole go to the device, so failures and short reads look as they always do.
  if (out.empty() || out.size() > kBlockBytes || offset + out.size() < offset) return inner_->Read(offset, out);
  if (CopyFromBlocks(offset, out)) return true;
  return inner_->Read(offset, out);
}

std::span<const uint8_t> ReadAheadDevice::View(uint64_t offset, size_t size, int holder) {
  const uint64_t within = offset % kBlockBytes;
  if (holder < 0 || holder > 1 || size == 0 || size > kBlockBytes - within) return {};
  const Block* b = Load(offset / kBlockBytes);
  if (b == nullptr || within >= b->bytes.size() || b->bytes.size() - within < size) return {};
  pinned_[holder] = b->index;
  return std::span<const uint8_t>(b->bytes).subspan(within, size);
}

bool ReadAheadDevice::Write(uint64_t offset, std::span<const uint8_t> data) {
  for (Block& b : blocks_) b.index = UINT64_MAX;
  failed_.clear();
  return inner_->Write(offset, data);
}

}  // namespace vellum::platform
