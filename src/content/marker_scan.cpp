#include "content/marker_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "content/cluster_follow.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"

namespace vellum::content {

namespace {

// The longest pattern tested: a pattern straddling two clusters begins in
// the previous cluster's last kCarryRoom - 1 bytes.
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

// First start offset in [0, tries) where the pattern matches; the window
// holds the pattern's whole length past every start tried. memchr finds the
// candidates for the first byte.
std::optional<size_t> FindMatchBytewise(std::span<const uint8_t> window, size_t tries, const MarkerPattern& m) {
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

#if defined(__x86_64__)
// The same search 32 starts at a time on the first two bytes. In compressed
// data the first byte alone (FF for JPEG) recurs every few hundred bytes,
// which makes the bytewise search stop and restart too often to keep up with
// the disk. Every pattern is at least two bytes, so base[o + 1] is in the window.
__attribute__((target("avx2"))) std::optional<size_t> FindMatchWide(std::span<const uint8_t> window, size_t tries,
                                                                     const MarkerPattern& m) {
  const uint8_t* base = window.data();
  const __m256i first = _mm256_set1_epi8(static_cast<char>(m.a[0]));
  const __m256i second = _mm256_set1_epi8(static_cast<char>(m.a[1]));
  size_t o = 0;
  for (; o + 32 <= tries; o += 32) {
    const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + o));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + o + 1));
    auto hits = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(at, first), _mm256_cmpeq_epi8(next, second))));
    for (; hits != 0; hits &= hits - 1) {
      const size_t k = o + static_cast<size_t>(__builtin_ctz(hits));
      if (MatchesAt(base + k, m)) return k;
    }
  }
  const auto rest = FindMatchBytewise(window.subspan(o), tries - o, m);
  return rest ? std::optional<size_t>(o + *rest) : std::nullopt;
}
#endif

std::optional<size_t> FindMatch(std::span<const uint8_t> window, size_t tries, const MarkerPattern& m) {
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide) return FindMatchWide(window, tries, m);
#endif
  return FindMatchBytewise(window, tries, m);
}

void ShowSizeProgress(volume::ScanState& state, uint64_t size) {
  if (state.progress == nullptr) return;
  state.progress->SetFileName("サイズ解析中 (" + std::to_string(size) + " バイト)");
}

}  // namespace

uint64_t MarkerScanLimit(MarkerVariant variant) {
  return variant == MarkerVariant::kEndCode ? 4'294'967'296ull : 10'485'760'000ull;
}

uint64_t MarkerScan(volume::ScanState& state, uint64_t cluster, const MarkerPattern& pattern) {
  if (!UsableGeometry(state)) return 0;
  const size_t cb = state.clusterBytes;
  const size_t carry = TestedLength(pattern.variant) - 1;
  const bool followFree = IsClusterFree(state, cluster);
  std::vector<uint8_t> fallback(cb);
  // The last bytes of the previous cluster joined with the first of this one:
  // the starts that lie in the previous cluster's tail are tested here.
  std::array<uint8_t, 2 * (kCarryRoom - 1)> stitch{};
  bool first = true;
  uint64_t size = 0;
  for (;;) {
    if (volume::CancelRequested(state)) break;
    ShowSizeProgress(state, size);
    // A failed read gives zeros where the device gave nothing; the scan goes
    // on, as it would over any cluster that does not hold the pattern.
    const ByteView data = volume::ViewCluster(state, cluster, fallback, volume::kAnalysisView);
    if (!first) {
      std::copy_n(data.begin(), carry, stitch.begin() + carry);
      if (const auto o = FindMatch(std::span(stitch).first(2 * carry), carry, pattern)) {
        size += *o + MatchedLength(pattern.variant);
        break;
      }
    }
    if (const auto o = FindMatch(data, cb - carry, pattern)) {
      size += (first ? 0 : carry) + *o + MatchedLength(pattern.variant);
      break;
    }
    size += first ? cb - carry : cb;
    std::copy_n(data.end() - static_cast<ptrdiff_t>(carry), carry, stitch.begin());
    first = false;
    if (!volume::NextCandidateCluster(state, cluster, followFree)) break;
    if (size >= MarkerScanLimit(pattern.variant)) break;
  }
  return size;
}

}  // namespace vellum::content
