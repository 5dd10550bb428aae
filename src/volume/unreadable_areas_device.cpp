#include "volume/unreadable_areas_device.h"

#include <algorithm>

namespace vellum::volume {

UnreadableAreasDevice::UnreadableAreasDevice(std::unique_ptr<platform::BlockDevice> base, std::vector<ByteRange> areas)
    : base_(std::move(base)), areas_(std::move(areas)) {}

bool UnreadableAreasDevice::Read(uint64_t offset, std::span<uint8_t> out) {
  bool ok = base_->Read(offset, out);
  const uint64_t end = offset + out.size();
  for (const ByteRange& r : UnreadableIn(areas_, offset, end)) {
    std::fill(out.begin() + static_cast<ptrdiff_t>(r.first - offset), out.begin() + static_cast<ptrdiff_t>(r.end - offset),
              uint8_t{0});
    ok = false;
    mapFailed_ = true;
  }
  if (ok) mapFailed_ = false;
  return ok;
}

std::string UnreadableAreasDevice::LastError() const {
  return mapFailed_ ? "マップファイルで救出されていない部分" : base_->LastError();
}

std::span<const uint8_t> UnreadableAreasDevice::View(uint64_t offset, size_t size, int holder) {
  // Bytes the rescue did not read are never handed out in place.
  if (!UnreadableIn(areas_, offset, offset + size).empty()) return {};
  return base_->View(offset, size, holder);
}

std::vector<ByteRange> AreasInWindow(const std::vector<ByteRange>& areas, uint64_t start, uint64_t length) {
  std::vector<ByteRange> inside;
  const uint64_t end = length > UINT64_MAX - start ? UINT64_MAX : start + length;
  for (const ByteRange& a : areas)
    if (a.end > start && a.first < end) inside.push_back({std::max(a.first, start) - start, std::min(a.end, end) - start});
  return inside;
}

}  // namespace vellum::volume
