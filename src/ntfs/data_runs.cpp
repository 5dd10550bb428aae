#include "ntfs/data_runs.h"

#include <algorithm>

#include "ntfs/attribute.h"
#include "volume/sector_io.h"

namespace vellum::ntfs {


RunListReader::RunListReader(ByteView runList, uint64_t firstVcn) : bytes_(runList), vcn_(firstVcn) {}

bool RunListReader::End(bool cutShort) {
  ended_ = true;
  cutShort_ = cutShort;
  return false;
}

bool RunListReader::Next(Run& run) {
  if (ended_) return false;
  FieldReader r(bytes_);
  const uint8_t header = r.U8(at_);
  if (!r.Ok()) return End(true);  // no end marker before the bytes ran out
  if (header == 0) return End(false);
  const unsigned lengthBytes = header & 0x0F;
  const unsigned offsetBytes = header >> 4;
  if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8) return End(false);
  const uint64_t length = r.Unsigned(at_ + 1, lengthBytes);
  const int64_t delta = offsetBytes ? r.Signed(at_ + 1 + lengthBytes, offsetBytes) : 0;
  // A run cut off by the end of the list is not trusted.
  if (!r.Ok()) return End(true);
  uint64_t nextVcn = 0;
  if (length == 0 || !CheckedAdd(vcn_, length, nextVcn)) return End(false);
  run.sparse = delta == 0;
  if (!run.sparse) {
    int64_t lcn = 0;
    if (__builtin_add_overflow(lcn_, delta, &lcn) || lcn < 0) return End(false);
    lcn_ = lcn;
  }
  run.firstVcn = vcn_;
  run.length = length;
  run.lcn = run.sparse ? 0 : static_cast<uint64_t>(lcn_);
  vcn_ = nextVcn;
  at_ += 1 + lengthBytes + offsetBytes;
  return true;
}

std::optional<Extent> ExtentOf(ByteView attribute) {
  const auto h = ParseAttribute(attribute);
  if (!h || !h->nonResident) return std::nullopt;
  Extent e;
  e.firstVcn = h->firstVcn;
  e.lastVcn = h->lastVcn;
  // Checked here again rather than trusted to the parse: the list's bytes
  // are taken only from inside the attribute.
  const ByteView runs = RunListOf(attribute, *h);
  e.runList.assign(runs.begin(), runs.end());
  return e;
}

VcnMapping MapVcn(const Extent& extent, uint64_t vcn) {
  if (extent.Empty() || vcn < extent.firstVcn || vcn > extent.lastVcn) return {};
  RunListReader reader(extent.runList, extent.firstVcn);
  for (Run run; reader.Next(run);) {
    if (vcn < run.firstVcn || vcn - run.firstVcn >= run.length) continue;
    const uint64_t into = vcn - run.firstVcn;
    // A run list longer than the extent claims does not lend it clusters.
    const uint64_t left = std::min(run.length - into, extent.lastVcn - vcn + 1);
    return {true, run.sparse ? 0 : run.lcn + into, left};
  }
  return {};
}

uint64_t ReadRunClusters(volume::ScanState& state, const Extent& extent, uint64_t vcn,
                         uint64_t count, MutableBytes buffer, uint64_t& sparseCount, uint64_t* unreadCount) {
  const uint64_t clusterBytes = state.clusterBytes;
  if (clusterBytes == 0) return 0;
  count = std::min<uint64_t>(count, buffer.size() / clusterBytes);
  uint64_t delivered = 0;
  while (delivered < count) {
    const VcnMapping m = MapVcn(extent, vcn);
    if (!m.found) break;
    const uint64_t n = std::min(m.left, count - delivered);
    if (n == 0) break;  // MapVcn never maps zero clusters; never spin if it did
    // count is capped by the buffer above; the piece is still checked where it is cut.
    if (!InBounds(buffer.size(), delivered * clusterBytes, n * clusterBytes)) break;
    const MutableBytes piece = buffer.subspan(delivered * clusterBytes, n * clusterBytes);
    if (m.lcn == 0) {
      std::fill(piece.begin(), piece.end(), 0);
      sparseCount += n;
    } else {
      // A run pointing past the volume is damage, not data: on a device holding
      // more than this volume it would read someone else's clusters.
      if (m.lcn > state.lastCluster || n - 1 > state.lastCluster - m.lcn) break;
      if (!volume::ReadSectors(state, volume::ClusterToSector(state, m.lcn), n * state.sectorsPerCluster, piece) &&
          unreadCount)
        *unreadCount += n;
    }
    delivered += n;
    vcn += n;
  }
  return delivered;
}

}  // namespace vellum::ntfs
