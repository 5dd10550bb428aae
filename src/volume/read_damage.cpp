#include "volume/read_damage.h"

#include <algorithm>
#include <cstdio>

namespace vellum::volume {

void AddUnreadable(ReadDamage& damage, uint64_t first, uint64_t end) {
  if (first >= end) return;
  auto& r = damage.ranges;
  // The first range that ends at or after `first` may touch the new one.
  auto it = std::lower_bound(r.begin(), r.end(), first, [](const ByteRange& a, uint64_t f) { return a.end < f; });
  auto last = it;
  while (last != r.end() && last->first <= end) {
    first = std::min(first, last->first);
    end = std::max(end, last->end);
    ++last;
  }
  it = r.erase(it, last);
  r.insert(it, ByteRange{first, end});
}

void RemoveUnreadable(ReadDamage& damage, uint64_t first, uint64_t end) {
  std::vector<ByteRange> kept;
  for (const ByteRange& r : damage.ranges) {
    if (r.end <= first || r.first >= end) {
      kept.push_back(r);
      continue;
    }
    if (r.first < first) kept.push_back({r.first, first});
    if (r.end > end) kept.push_back({end, r.end});
  }
  damage.ranges = std::move(kept);
}

std::vector<ByteRange> UnreadableIn(const std::vector<ByteRange>& r, uint64_t first, uint64_t end) {
  std::vector<ByteRange> out;
  auto it = std::lower_bound(r.begin(), r.end(), first, [](const ByteRange& a, uint64_t f) { return a.end <= f; });
  for (; it != r.end() && it->first < end; ++it) out.push_back({std::max(first, it->first), std::min(end, it->end)});
  return out;
}

uint64_t UnreadableBytes(const ReadDamage& damage) {
  uint64_t total = 0;
  for (const ByteRange& r : damage.ranges) total += r.end - r.first;
  return total;
}

void NoteDamagedFolder(ReadDamage& damage, const std::string& path, uint64_t bytes) {
  for (ReadDamage::Folder& f : damage.folders)
    if (f.path == path) {
      f.bytes = std::max(f.bytes, bytes);
      return;
    }
  damage.folders.push_back({path, bytes});
}

std::string DamageSizeText(uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) return std::to_string(bytes) + " バイト";
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  if (value == static_cast<double>(static_cast<uint64_t>(value)))
    std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(value), kUnits[unit]);
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string ByteRangesText(const std::vector<ByteRange>& ranges) {
  std::string text;
  for (const ByteRange& r : ranges) {
    if (!text.empty()) text += ", ";
    text += std::to_string(r.first) + "-" + std::to_string(r.end - 1);
  }
  return text;
}

}  // namespace vellum::volume
