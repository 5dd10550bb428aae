#include "platform/read_ahead.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vellum::platform {

namespace {

constexpr size_t kPageBytes = 4096;
static_assert(ReadAheadDevice::kBlockBytes % kPageBytes == 0);

}  // namespace

void ReadAheadDevice::FreeBytes::operator()(uint8_t* p) const {
  ::operator delete(p, std::align_val_t{kPageBytes}, std::nothrow);
}

ReadAheadDevice::ReadAheadDevice(std::unique_ptr<BlockDevice> inner)
    : inner_(std::move(inner)), blocks_(kBlocks) {}

// A block the scan has moved past is dead weight: no one reads behind the
// scan but by exception, so those go first, the one used last before the
// others, since its bytes are the likeliest still in the processor's cache
// (a scan that finds nothing then cycles through one or two blocks, not all
// of them). Then blocks never used, then the least recently used. The
// blocks of views handed out are never taken.
ReadAheadDevice::Block& ReadAheadDevice::Victim() {
  Block* best = nullptr;
  uint64_t bestRank = 0;
  for (Block& b : blocks_) {
    const bool held = b.index != UINT64_MAX && (b.index == pinned_[0] || b.index == pinned_[1]);
    if (held) continue;
    // Higher ranks are better victims; the three kinds never overlap
    // (lastUse stays below 2^62).
    uint64_t rank = 0;
    if (b.index == UINT64_MAX) rank = uint64_t{1} << 62;
    else if (b.index < scanBlock_) rank = (uint64_t{1} << 63) + b.lastUse;
    else rank = (uint64_t{1} << 62) - 1 - b.lastUse;
    if (best == nullptr || rank > bestRank) {
      best = &b;
      bestRank = rank;
    }
  }
  // Two holders pin at most two of the kBlocks blocks.
  return *best;
}

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
  // Keep the device fetching at least kHintAhead blocks past this one, each
  // asked for once; twice that many at a time, so that the question (a call
  // into the system even when all is cached) comes every kHintAhead blocks.
  if (index + 1 + kHintAhead > hintedEnd_) {
    const uint64_t hintFrom = std::max(hintedEnd_, index + 1);
    const uint64_t hintTo = index + 1 + 2 * kHintAhead;
    inner_->WillRead(hintFrom * kBlockBytes, (hintTo - hintFrom) * kBlockBytes);
    hintedEnd_ = hintTo;
  }
  Block& victim = Victim();
  if (!victim.bytes) {
    // The system copies into a page-aligned buffer about 5 % faster than
    // into one a heap header's width off (what a plain allocation of this
    // size gives), and for a scan of cached data that copy is most of the work.
    victim.bytes.reset(static_cast<uint8_t*>(::operator new(kBlockBytes, std::align_val_t{kPageBytes}, std::nothrow)));
    if (!victim.bytes) return nullptr;  // the callers read directly instead
  }
  victim.size = static_cast<size_t>(std::min(kBlockBytes, size - start));
  victim.lastUse = clock_;
  if (inner_->Read(start, std::span<uint8_t>(victim.bytes.get(), victim.size))) {
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
    if (b == nullptr || within >= b->size) return false;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(b->size - within, out.size() - done));
    std::memcpy(out.data() + done, b->bytes.get() + within, n);
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
  // The holder's previous view ends with this call, so its block may be the
  // one reused for this view.
  pinned_[holder] = UINT64_MAX;
  if (holder == 0) scanBlock_ = offset / kBlockBytes;
  // Bytes the device can show in place need no copy at all.
  if (const auto direct = inner_->View(offset, size, holder); direct.size() == size) return direct;
  const Block* b = Load(offset / kBlockBytes);
  if (b == nullptr || within >= b->size || b->size - within < size) return {};
  pinned_[holder] = b->index;
  return b->Bytes().subspan(within, size);
}

bool ReadAheadDevice::Write(uint64_t offset, std::span<const uint8_t> data) {
  for (Block& b : blocks_) b.index = UINT64_MAX;
  failed_.clear();
  return inner_->Write(offset, data);
}

}  // namespace vellum::platform
