#include "platform/block_device.h"

#include <algorithm>
#include <cstring>

namespace vellum::platform {

namespace {

// How many of `want` bytes at `offset` lie inside a device of `size` bytes.
uint64_t AvailableAt(uint64_t size, uint64_t offset, uint64_t want) {
  if (offset >= size) return 0;
  return std::min<uint64_t>(want, size - offset);
}

}  // namespace

MemoryBlockDevice::MemoryBlockDevice(std::vector<uint8_t> bytes, bool writable,
                                     uint32_t sectorSize, uint64_t size)
    : bytes_(std::move(bytes)),
      size_(std::max<uint64_t>(size, bytes_.size())),
      writable_(writable),
      sectorSize_(sectorSize) {}

bool MemoryBlockDevice::Read(uint64_t offset, std::span<uint8_t> out) {
  const uint64_t n = AvailableAt(bytes_.size(), offset, out.size());
  if (n > 0) std::memcpy(out.data(), bytes_.data() + offset, n);
  std::fill(out.begin() + static_cast<ptrdiff_t>(n), out.end(), uint8_t{0});
  return AvailableAt(size_, offset, out.size()) == out.size();
}

bool MemoryBlockDevice::Write(uint64_t offset, std::span<const uint8_t> data) {
  if (!writable_ || AvailableAt(bytes_.size(), offset, data.size()) != data.size()) return false;
  if (!data.empty()) std::memcpy(bytes_.data() + offset, data.data(), data.size());
  return true;
}

OffsetWindow::OffsetWindow(std::shared_ptr<BlockDevice> base, uint64_t start, uint64_t length)
    : base_(std::move(base)), start_(start), length_(length) {
  // A partition table may claim more than the image holds; the window ends
  // with the device.
  const uint64_t baseSize = base_->Size();
  if (start_ > baseSize) start_ = baseSize;
  length_ = std::min(length_, baseSize - start_);
}

bool OffsetWindow::Read(uint64_t offset, std::span<uint8_t> out) {
  const uint64_t n = AvailableAt(length_, offset, out.size());
  bool ok = n == out.size();
  if (n > 0) ok = base_->Read(start_ + offset, out.first(n)) && ok;
  std::fill(out.begin() + static_cast<ptrdiff_t>(n), out.end(), uint8_t{0});
  return ok;
}

void OffsetWindow::WillRead(uint64_t offset, uint64_t length) {
  const uint64_t n = AvailableAt(length_, offset, length);
  if (n > 0) base_->WillRead(start_ + offset, n);
}

std::span<const uint8_t> OffsetWindow::View(uint64_t offset, size_t size, int holder) {
  if (size == 0 || AvailableAt(length_, offset, size) != size) return {};
  return base_->View(start_ + offset, size, holder);
}

std::pair<uint64_t, uint64_t> OffsetWindow::DataExtentFrom(uint64_t offset) {
  if (offset >= length_) return {length_, length_};
  const auto [first, end] = base_->DataExtentFrom(start_ + offset);
  const auto inside = [&](uint64_t at) { return std::clamp(at, start_, start_ + length_) - start_; };
  return {inside(first), inside(end)};
}

bool OffsetWindow::Write(uint64_t offset, std::span<const uint8_t> data) {
  if (AvailableAt(length_, offset, data.size()) != data.size()) return false;
  return base_->Write(start_ + offset, data);
}

}  // namespace vellum::platform
