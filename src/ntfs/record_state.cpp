#include "ntfs/record_state.h"

#include <algorithm>

#include "ntfs/attribute.h"
#include "ntfs/data_runs.h"
#include "ntfs/data_streams.h"
#include "ntfs/find_attribute.h"
#include "ntfs/ntfs_restore.h"
#include "volume/sector_io.h"

namespace vellum::ntfs {

namespace {

// The $DATA a row stands for: the file's own, or the stream it names. None
// for a stream the record no longer holds.
std::optional<std::u16string> DataNameOf(volume::ScanState& state, ByteView record, const FoundRecord& found) {
  if (found.stream.empty()) return std::u16string();
  return StreamNamed(state, record, found.stream);
}

}  // namespace

volume::Recoverability RecordRecoverability(volume::ScanState& state, const FoundRecord& found) {
  const auto record = LoadRecord(state, found.source);
  const auto name = record ? DataNameOf(state, *record, found) : std::nullopt;
  if (!name) return volume::RecoverabilityOf(false, 0, 0, true);
  // A folder, and a file whose data lives in its record, are as whole as the record.
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const auto data = found.isFolder ? std::nullopt : FindHeader(state, *record, kAttrData, copy, ref, *name);
  const auto extent = data ? ExtentOf(AttributeBytes(copy, ref)) : std::nullopt;
  if (!extent || extent->Empty()) return volume::RecoverabilityOf(false, 0, 0, false);
  uint64_t clusters = 0, inUse = 0;
  bool firstInUse = false;
  RunListReader runs(extent->runList, extent->firstVcn);
  for (Run run; runs.Next(run);) {
    if (run.sparse) continue;
    for (uint64_t i = 0; i < run.length && clusters < state.lastCluster + 1; ++i, ++clusters) {
      const bool used = volume::IsNtfsClusterUsed(state, run.lcn + i);
      if (clusters == 0) firstInUse = used;
      inUse += used;
    }
  }
  return volume::RecoverabilityOf(firstInUse, inUse, clusters, false);
}

std::optional<uint64_t> RecordFirstCluster(volume::ScanState& state, const FoundRecord& found) {
  if (found.isFolder) return std::nullopt;
  const auto record = LoadRecord(state, found.source);
  const auto name = record ? DataNameOf(state, *record, found) : std::nullopt;
  if (!name) return std::nullopt;
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const auto data = FindHeader(state, *record, kAttrData, copy, ref, *name);
  const auto extent = data ? ExtentOf(AttributeBytes(copy, ref)) : std::nullopt;
  // Only a run that starts the file names its first cluster.
  if (!extent || extent->Empty() || extent->firstVcn != 0) return std::nullopt;
  RunListReader runs(extent->runList, extent->firstVcn);
  Run run;
  if (!runs.Next(run) || run.sparse || run.lcn < 1 || run.lcn > state.lastCluster) return std::nullopt;
  return run.lcn;
}

std::vector<DataPiece> RecordDataPieces(volume::ScanState& state, const FoundRecord& found) {
  if (found.isFolder || state.clusterBytes == 0) return {};
  const auto record = LoadRecord(state, found.source);
  const auto name = record ? DataNameOf(state, *record, found) : std::nullopt;
  if (!name) return {};
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const auto data = FindHeader(state, *record, kAttrData, copy, ref, *name);
  const auto extent = data && data->nonResident ? ExtentOf(AttributeBytes(copy, ref)) : std::nullopt;
  if (!extent || extent->Empty()) return {};
  std::vector<DataPiece> pieces;
  RunListReader runs(extent->runList, extent->firstVcn);
  for (Run run; runs.Next(run);) {
    uint64_t offset = 0, length = 0;
    if (!CheckedMul(run.firstVcn, state.clusterBytes, offset) || offset >= data->dataSize) break;
    if (run.sparse) continue;
    if (run.lcn > state.lastCluster || !CheckedMul(std::min(run.length, state.lastCluster + 1 - run.lcn),
                                                   state.clusterBytes, length))
      break;
    pieces.push_back({offset, run.lcn, std::min(length, data->dataSize - offset)});
  }
  return pieces;
}

std::optional<uint64_t> OrphanRuleCluster(const volume::ScanState& state, ByteView attribute) {
  const auto extent = ExtentOf(attribute);
  if (!extent || extent->Empty()) return std::nullopt;
  std::optional<uint64_t> first;
  RunListReader runs(extent->runList, extent->firstVcn);
  for (Run run; runs.Next(run);) {
    if (run.sparse) continue;
    if (run.lcn > state.lastCluster || run.length > state.lastCluster + 1 - run.lcn)
      return std::max(run.lcn, state.lastCluster + 1);
    if (!first) first = run.lcn;
  }
  return first;
}

}  // namespace vellum::ntfs
