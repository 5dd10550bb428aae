// Reading clusters of a record's attribute by VCN, across its extents, with
// sparse runs, data past the initialized size, and LZNT1 compression units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/attribute.h"
#include "ntfs/data_runs.h"
#include "volume/le.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// At most this many extents are stepped through in one read. Each step must
// move to a later VCN, so this only cuts short lists too long to be real.
inline constexpr int kMaxExtentSteps = 4096;

// Reads `count` clusters (count x clusterBytes bytes, or as many as the buffer
// holds) of the record's unnamed attribute of `type`, from vcn. Sparse
// clusters and bytes past the initialized size read as zeros. With
// `decompress`, a read that delivered some but not all clusters as sparse is
// one LZNT1 compression unit and is decompressed in place (callers read
// compressed data one whole unit at a time). True when every cluster came
// from the attribute; whatever could not be read (the attribute missing, a
// VCN no extent maps, a run beyond the volume, a sector the device failed to
// read) is zeros.
bool ReadAttributeClusters(volume::ScanState& state, ByteView record, uint32_t type, uint64_t vcn,
                           uint64_t count, MutableBytes buffer, bool decompress);

// One attribute of one record, found once for many reads: reading a file
// step by step would otherwise search the record, its attribute list and its
// extension records again for every step. Later extents are found the first
// time a read reaches them and kept. Each Read gives exactly what
// ReadAttributeClusters gives for the same arguments.
class AttributeReader {
 public:
  // `name`: the attribute of that name (a stream's $DATA); unnamed when empty.
  AttributeReader(volume::ScanState& state, ByteView record, uint32_t type, int depth = 0,
                  std::u16string_view name = {});
  bool Read(uint64_t vcn, uint64_t count, MutableBytes buffer, bool decompress);

  // Where the clusters from vcn lie on the volume when the attribute holds
  // them as they are (not sparse, not compressed, before its initialized
  // size): the volume cluster of vcn and how many of at most `count` clusters
  // follow it in the same run. None when the cluster at vcn does not lie so.
  struct Placement {
    uint64_t lcn = 0;
    uint64_t clusters = 0;
  };
  std::optional<Placement> PlacementOf(uint64_t vcn, uint64_t count);

 private:
  // The extent after extents_[index], found now if not yet; null when the
  // attribute has no further extent.
  const Extent* NextExtent(size_t index);
  uint64_t ReadAcrossExtents(uint64_t vcn, uint64_t n, MutableBytes out, uint64_t& sparse, uint64_t& unread);

  volume::ScanState& state_;
  std::vector<uint8_t> record_;  // a copy: later extents are searched from it
  uint32_t type_;
  int depth_;
  std::u16string name_;
  bool found_ = false;
  AttributeHeader header_{};
  std::vector<uint8_t> residentValue_;
  std::vector<Extent> extents_;
  bool lastExtentKnown_ = false;
};

}  // namespace vellum::ntfs
