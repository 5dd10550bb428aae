// The recoverability of a listed NTFS record, from the volume's cluster
// bitmap: the clusters its data runs name, free or in use again. The record
// itself is read for its runs; none of the file's data is.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ntfs/found_record.h"
#include "volume/le.h"
#include "volume/recoverability.h"
#include "volume/scan_state.h"

namespace vellum::ntfs {

// The cluster bitmap must be loaded (LoadNtfsClusterBitmap).
volume::Recoverability RecordRecoverability(volume::ScanState& state, const FoundRecord& found);

// The first cluster of a file record's data on the volume; none for a
// folder, data kept in the record, or a record that cannot be read.
std::optional<uint64_t> RecordFirstCluster(volume::ScanState& state, const FoundRecord& found);

// One run of a file record's data on the volume: where it begins in the
// file, its first cluster and how many bytes of the file it holds.
struct DataPiece {
  uint64_t fileOffset = 0;
  uint64_t cluster = 0;
  uint64_t bytes = 0;
};

// The runs of the data a row stands for (the file's own or its stream), in
// file order and cut at the data's size; sparse runs hold nothing on the
// volume and are left out. Empty for a folder, data kept in the record, or a
// record that cannot be read.
std::vector<DataPiece> RecordDataPieces(volume::ScanState& state, const FoundRecord& found);

// The cluster the orphan rule judges for a record read from a scanned
// cluster: the first of its data runs, or the first run's cluster that
// reaches past the end of the volume; none for data kept in the record.
// `attribute`: the $DATA attribute's bytes.
std::optional<uint64_t> OrphanRuleCluster(const volume::ScanState& state, ByteView attribute);

}  // namespace vellum::ntfs
