#include "content/content_verdict.h"

#include <algorithm>
#include <vector>

#include "content/cluster_follow.h"
#include "content/format_measures.h"
#include "content/lost_file.h"
#include "content/png.h"
#include "platform/jpeg_decoder.h"
#include "volume/sector_io.h"

namespace vellum::content {

namespace {

ContentCheck CheckJpeg(LostFile& file, uint64_t size) {
  uint64_t pos = 0;
  const auto next = [&]() -> std::span<const uint8_t> {
    uint64_t start = 0;
    const ByteView cluster = pos < size ? file.ClusterHolding(pos, start) : ByteView();
    if (cluster.empty()) return {};
    const ByteView piece = cluster.subspan(pos - start, std::min<uint64_t>(cluster.size() - (pos - start), size - pos));
    pos += piece.size();
    return piece;
  };
  const platform::JpegDecodeResult result = platform::DecodeJpeg(next);
  if (!result.available) return {};
  if (result.whole) return ContentCheck::Verified();
  return ContentCheck::DamagedFrom(std::min(result.damagedFrom, size));
}

// What a walk that checks its format's CRCs found, against the length the
// row holds: bytes the row leaves out of what the walk reaches are missing.
ContentCheck AgainstRowSize(const Measured& walked, uint64_t size) {
  // The first cluster no longer starts the file it was listed as.
  if (walked.size == 0) return ContentCheck::DamagedFrom(0);
  if (walked.size <= size) return walked.check;
  const bool damagedBefore = walked.check.verdict == ContentCheck::Verdict::kDamaged;
  return ContentCheck::DamagedFrom(damagedBefore ? std::min(size, walked.check.damagedFrom) : size);
}

ContentCheck CheckPng(LostFile& file, uint64_t size) { return AgainstRowSize(MeasurePng(file), size); }

using Measure = Measured (*)(volume::ScanState&, uint64_t, ByteView);

// The formats whose own walk checks CRCs (or unpacks the data) on the way.
Measure CheckingWalk(std::string_view ext) {
  if (ext == "gz") return MeasureGzip;
  if (ext == "flac") return MeasureFlac;
  if (ext == "ogg" || ext == "opus" || ext == "oga") return MeasureOgg;
  if (ext == "7z") return MeasureSevenZip;
  if (ext == "rar") return MeasureRar;
  return nullptr;
}

}  // namespace

ContentCheck CheckFoundContent(volume::ScanState& state, const FoundContent& found) {
  const std::string_view ext = found.Extension();
  const Measure walk = CheckingWalk(ext);
  if (ext != "jpg" && ext != "png" && walk == nullptr) return {};
  if (!UsableGeometry(state) || found.firstCluster > state.lastCluster || found.size == 0) return {};
  std::vector<uint8_t> first(state.clusterBytes);
  if (!volume::ReadCluster(state, found.firstCluster, first)) return ContentCheck::DamagedFrom(0);
  if (walk != nullptr) return AgainstRowSize(walk(state, found.firstCluster, first), found.size);
  LostFile file(state, found.firstCluster, first);
  return ext == "jpg" ? CheckJpeg(file, found.size) : CheckPng(file, found.size);
}

std::string ContentCheckKey(const ContentCheck& check) {
  switch (check.verdict) {
    case ContentCheck::Verdict::kVerified: return "verified";
    case ContentCheck::Verdict::kDamaged: return "damaged from byte " + std::to_string(check.damagedFrom);
    case ContentCheck::Verdict::kNotChecked: break;
  }
  return "not checked";
}

std::string ContentCheckText(const ContentCheck& check) {
  switch (check.verdict) {
    case ContentCheck::Verdict::kVerified: return "検証済み";
    case ContentCheck::Verdict::kDamaged: return "破損 (" + std::to_string(check.damagedFrom) + " バイト目から)";
    case ContentCheck::Verdict::kNotChecked: break;
  }
  return "未検査";
}

}  // namespace vellum::content
