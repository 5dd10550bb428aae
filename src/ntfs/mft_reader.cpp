#include "ntfs/mft_reader.h"

#include <algorithm>

#include "ntfs/attribute.h"
#include "volume/fixups.h"
#include "volume/sector_io.h"

namespace vellum::ntfs {

MftRecordReader::MftRecordReader(volume::ScanState& state, uint64_t chunkBytes)
    : state_(state),
      table_(state, state.mftRecord0, kAttrData),
      chunkClusters_(state.clusterBytes ? std::max<uint64_t>(1, chunkBytes / state.clusterBytes) : 1) {}

bool MftRecordReader::LoadInPlace(uint64_t vcn, uint64_t clusters, uint64_t wanted) {
  const auto placed = table_.PlacementOf(vcn, wanted);
  if (!placed || placed->clusters < clusters) return false;
  const ByteView view = volume::SectorsInPlace(state_, volume::ClusterToSector(state_, placed->lcn),
                                               placed->clusters * state_.sectorsPerCluster, volume::kTableView);
  if (view.empty()) return false;
  loaded_ = view;
  loadedClusters_ = placed->clusters;
  return true;
}

void MftRecordReader::Load(uint64_t vcn, uint64_t clusters) {
  const bool careful = vcn < carefulUntil_;
  const uint64_t wanted = careful ? clusters : std::max(clusters, chunkClusters_);
  firstVcn_ = vcn;
  if (!careful && LoadInPlace(vcn, clusters, wanted)) return;
  loadedClusters_ = wanted;
  // Every byte of the chunk is written by the read (zeros where nothing
  // could be read), so it is not cleared first.
  chunk_.resize(loadedClusters_ * state_.clusterBytes);
  loaded_ = chunk_;
  if (table_.Read(firstVcn_, loadedClusters_, chunk_, false) || careful || loadedClusters_ == clusters) return;
  // A failed transfer does not say which of its sectors failed, and one bad
  // sector must not cost the thousand records around it: the failed span is
  // read again record by record.
  carefulUntil_ = vcn + loadedClusters_;
  Load(vcn, clusters);
}

bool MftRecordReader::Read(uint32_t number, MutableBytes buffer) {
  const uint64_t recordSize = state_.mftRecordSize;
  const uint64_t clusterBytes = state_.clusterBytes;
  if (recordSize == 0 || clusterBytes == 0 || buffer.size() < recordSize || state_.mftRecord0.size() < recordSize)
    return false;
  const uint64_t position = uint64_t{number} * recordSize;
  const uint64_t vcn = position / clusterBytes;
  const uint64_t within = position % clusterBytes;
  const uint64_t clusters = (within + recordSize + clusterBytes - 1) / clusterBytes;
  if (vcn < firstVcn_ || vcn + clusters > firstVcn_ + loadedClusters_) Load(vcn, clusters);
  const uint64_t offset = (vcn - firstVcn_) * clusterBytes + within;
  // Load() holds the record's clusters; the copy checks that for itself.
  if (!InBounds(loaded_.size(), offset, recordSize)) return false;
  // A slot never used, or wiped, is not copied at all.
  if (!HasFileSignature(loaded_.subspan(offset, recordSize))) return false;
  const MutableBytes record = buffer.first(recordSize);
  std::copy_n(loaded_.begin() + static_cast<ptrdiff_t>(offset), recordSize, record.begin());
  volume::ApplyFixups(record);
  return true;
}

}  // namespace vellum::ntfs
