#include "app/rate_text.h"

#include <cstdio>

#include "app/progress_model.h"
#include "fat/cluster_scan.h"

namespace vellum::app {

std::string SpeedText(uint64_t done, uint64_t elapsedMs, uint64_t unitBytes) {
  if (elapsedMs < kRateSettleMs || done == 0) return {};
  if (unitBytes == 0)
    return std::to_string(static_cast<uint64_t>(static_cast<double>(done) * 1000.0 / static_cast<double>(elapsedMs))) +
           "/s";
  char rate[32];
  const double bytesPerSecond =
      static_cast<double>(done) * static_cast<double>(unitBytes) * 1000.0 / static_cast<double>(elapsedMs);
  std::snprintf(rate, sizeof rate, "%.1f MB/s", bytesPerSecond / 1e6);
  return rate;
}

std::string TimeLeftText(uint64_t done, uint64_t total, uint64_t elapsedMs) {
  if (elapsedMs < kRateSettleMs || done == 0 || total <= done) return {};
  // In floating point: bytes times milliseconds overflow 64 bits on a big disk.
  const auto leftSeconds = static_cast<uint64_t>(static_cast<double>(total - done) * static_cast<double>(elapsedMs) /
                                                 static_cast<double>(done) / 1000.0);
  char left[48];
  std::snprintf(left, sizeof left, "残り %llu:%02llu", static_cast<unsigned long long>(leftSeconds / 60),
                static_cast<unsigned long long>(leftSeconds % 60));
  return left;
}

std::string RateText(uint64_t done, uint64_t total, uint64_t elapsedMs, uint64_t unitBytes) {
  std::string text = SpeedText(done, elapsedMs, unitBytes);
  if (text.empty()) return text;
  if (const std::string left = TimeLeftText(done, total, elapsedMs); !left.empty()) text += "  " + left;
  return text;
}

std::function<uint64_t(std::string_view)> UnitBytesOf(const volume::ScanState& state) {
  return [&state](std::string_view caption) -> uint64_t {
    if (caption == fat::kClusterCaption) return state.clusterBytes;
    return caption == kRestoreBytesCaption ? 1 : 0;
  };
}

}  // namespace vellum::app
