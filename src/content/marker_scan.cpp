#include "content/marker_scan.h"

#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "content/cluster_follow.h"
#include "volume/sector_io.h"

namespace vellum::content {

namespace {

// The bytes in front of the data area that receive the end of the previous
// cluster, so that a pattern straddling two clusters is seen.
constexpr size_t kCarryRoom = 8;

size_t TestedLength(MarkerVariant v) {
  switch (v) {
    case MarkerVariant::kTwoByte: return 2;
    case MarkerVariant::kFourByte: return 4;
    default: return 8;
  }
}

// What a match adds beyond its offset: an end code counts only its own 4 bytes,
// the following 4 were looked at to tell it from a join of two streams.
size_t MatchedLength(MarkerVariant v) {
  return v == MarkerVariant::kEndCode ? 4 : TestedLength(v);
}

bool MatchesAt(const uint8_t* p, const MarkerPattern& m) {
  switch (m.variant) {
    case MarkerVariant::kTwoByte: return p[1] == m.a[1];
    case MarkerVariant::kFourByte: return std::memcmp(p + 1, m.a.data() + 1, 3) == 0;
    case MarkerVariant::kEightByte:
      return std::memcmp(p + 1, m.a.data() + 1, 3) == 0 && std::memcmp(p + 4, m.b.data(), 4) == 0;
    case MarkerVariant::kEndCode:
      return std::memcmp(p + 1, m.a.data() + 1, 3) == 0 && std::memcmp(p + 4, m.b.data(), 4) != 0;
  }
  return false;
}

// First start offset in [0, tries) where the pattern matches. memchr finds the
// candidates for the first byte, which keeps the scan near the disk's speed.
std::optional<size_t> FindMatch(std::span<const uint8_t> window, size_t tries, const MarkerPattern& m) {
  const uint8_t* base = window.data();
  size_t o = 0;
  while (o < tries) {
    const void* hit = std::memchr(base + o, m.a[0], tries - o);
    if (hit == nullptr) return std::nullopt;
    o = static_cast<size_t>(static_cast<const uint8_t*>(hit) - base);
    if (MatchesAt(base + o, m)) return o;
    ++o;
  }
  return std::nullopt;
}

void ShowSizeProgress(volume::ScanState& state, uint64_t size) {
  if (state.progress == nullptr) return;
  state.progress->SetFileName("サイズ解析中 (" + std::to_string(size) + " バイト)");
}

bool CancelPressed(volume::ScanState& state) {
  return state.progress != nullptr && state.progress->PumpAndCheckCancel() != 0;
}

}  // namespace

uint64_t MarkerScanLimit(MarkerVariant variant) {
  return variant == MarkerVariant::kEndCode ? 4'294'967'296ull : 10'485'760'000ull;
}

uint64_t MarkerScan(volume::ScanState& state, uint64_t cluster, const MarkerPattern& pattern) {
  if (!UsableGeometry(state)) return 0;
  const size_t cb = state.clusterBytes;
  const size_t tested = TestedLength(pattern.variant);
  const size_t carry = tested - 1;
  const bool followFree = IsClusterFree(state, cluster);
  std::vector<uint8_t> buffer(kCarryRoom + cb);
  const std::span<uint8_t> dataArea(buffer.data() + kCarryRoom, cb);
  size_t windowStart = kCarryRoom;  // the first window is the data area alone
  uint64_t size = 0;
  for (;;) {
    if (CancelPressed(state)) {
      state.cancelled = 1;
      break;
    }
    ShowSizeProgress(state, size);
    // A failed read leaves zeros where the device gave nothing; the scan goes
    // on, as it would over any cluster that does not hold the pattern.
    volume::ReadCluster(state, cluster, dataArea);
    const std::span<const uint8_t> window(buffer.data() + windowStart, buffer.size() - windowStart);
    const size_t tries = window.size() - carry;
    if (const auto o = FindMatch(window, tries, pattern)) {
      size += *o + MatchedLength(pattern.variant);
      break;
    }
    size += tries;
    std::memmove(buffer.data() + kCarryRoom - carry, buffer.data() + kCarryRoom + cb - carry, carry);
    windowStart = kCarryRoom - carry;
    if (!volume::NextCandidateCluster(state, cluster, followFree)) break;
    if (size >= MarkerScanLimit(pattern.variant)) break;
  }
  return size;
}

}  // namespace vellum::content
