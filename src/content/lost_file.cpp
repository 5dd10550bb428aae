#include "content/lost_file.h"

#include <algorithm>
#include <string>

#include "content/cluster_follow.h"
#include "volume/cancel.h"
#include "volume/sector_io.h"

namespace vellum::content {

LostFile::LostFile(volume::ScanState& state, uint64_t firstCluster, ByteView firstClusterData)
    : state_(state),
      firstCluster_(firstCluster),
      firstData_(firstClusterData),
      clusterBytes_(firstClusterData.size()),
      followFree_(IsClusterFree(state, firstCluster)),
      cluster_(firstCluster),
      view_(firstClusterData),
      fallback_(firstClusterData.size()) {}

bool LostFile::StepTo(uint64_t index) {
  if (index < index_) {
    index_ = 0;
    cluster_ = firstCluster_;
    view_ = firstData_;
    viewRead_ = true;
  }
  // Every step lands on a later cluster of the volume, so no walk takes more
  // steps than the volume has clusters.
  while (index_ < index) {
    if (cluster_ == 0 || !volume::NextCandidateCluster(state_, cluster_, followFree_)) return false;
    ++index_;
    viewRead_ = false;
  }
  if (!viewRead_) {
    // A walk through entropy-coded data reads every cluster of a photo;
    // the progress line moves with it, as a marker scan's does.
    if (state_.progress && index_ % 64 == 0)
      state_.progress->SetFileName("サイズ解析中 (" + std::to_string(index_ * clusterBytes_) + " バイト)");
    if (volume::CancelRequested(state_)) return false;
    // An unreadable cluster reads as zeros, which no structure walks through.
    view_ = volume::ViewCluster(state_, cluster_, fallback_, volume::kAnalysisView);
    viewRead_ = true;
  }
  return view_.size() == clusterBytes_;
}

ByteView LostFile::ClusterHolding(uint64_t offset, uint64_t& start) {
  if (clusterBytes_ == 0 || offset >= Limit()) return {};
  const uint64_t index = offset / clusterBytes_;
  if (!StepTo(index)) return {};
  start = index * clusterBytes_;
  return view_;
}

bool LostFile::Read(uint64_t offset, MutableBytes out) {
  size_t done = 0;
  while (done < out.size()) {
    uint64_t start = 0;
    const ByteView cluster = ClusterHolding(offset + done, start);
    if (cluster.empty()) return false;
    const uint64_t within = offset + done - start;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(cluster.size() - within, out.size() - done));
    std::copy_n(cluster.begin() + static_cast<ptrdiff_t>(within), n, out.begin() + static_cast<ptrdiff_t>(done));
    done += n;
  }
  return true;
}

bool LostFile::Byte(uint64_t offset, uint8_t& out) { return Read(offset, MutableBytes(&out, 1)); }

bool LostFile::U16(uint64_t offset, bool bigEndian, uint16_t& out) {
  uint8_t b[2];
  if (!Read(offset, b)) return false;
  out = bigEndian ? static_cast<uint16_t>(b[0] << 8 | b[1]) : static_cast<uint16_t>(b[1] << 8 | b[0]);
  return true;
}

bool LostFile::U32(uint64_t offset, bool bigEndian, uint32_t& out) {
  uint8_t b[4];
  if (!Read(offset, b)) return false;
  out = 0;
  for (int i = 0; i < 4; ++i) out = (out << 8) | b[bigEndian ? i : 3 - i];
  return true;
}

}  // namespace vellum::content
