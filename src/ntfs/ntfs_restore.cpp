#include "ntfs/ntfs_restore.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <functional>
#include <unordered_set>
#include <utility>

#include "ntfs/attribute.h"
#include "ntfs/attribute_data.h"
#include "ntfs/data_streams.h"
#include "ntfs/file_data.h"
#include "ntfs/file_name.h"
#include "ntfs/find_attribute.h"
#include "ntfs/ntfs_search.h"
#include "ntfs/record.h"
#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/stream_names.h"
#include "restore/restore_output.h"
#include "restore/restored_file.h"
#include "volume/cancel.h"
#include "volume/read_damage.h"
#include "volume/sector_io.h"

namespace vellum::ntfs {

namespace {

// Steps up a parent chain at most. Real trees are far shallower; a chain of
// folders pointing at each other ends here, or sooner at a record seen twice.
constexpr int kMaxChainSteps = 1024;

std::string NameToUtf8(const std::u16string& name) {
  std::string utf8;
  platform::Utf16ToUtf8(std::span<const uint16_t>(reinterpret_cast<const uint16_t*>(name.data()), name.size()),
                        utf8);
  return utf8;
}

// A path the system can open: restore_output's limits, checked before
// anything is created so that the reason for a skip is known.
bool PathFits(std::string_view path) { return restore::PathFits(path); }


// What the chain from folder record `start` up to the bounding folder gives,
// found by climbing to the first folder whose chain is known (or the
// bounding folder, the root, a record that is no named folder, or a loop)
// and noting every folder on the way.
NtfsRestoreCache::ChainFact ChainOf(ScanState& state, uint32_t start, uint32_t boundFolder, NtfsRestoreCache& cache) {
  using Fact = NtfsRestoreCache::ChainFact;
  std::vector<uint32_t> climbed;
  std::unordered_set<uint32_t> seen;
  Fact above;  // of the record the climb stopped at
  for (uint32_t n = start;;) {
    // The root ends every chain that never met the bounding folder.
    if (n == kRootRecord) break;
    if (n == boundFolder) {
      above.names = 0;
      break;
    }
    const auto known = cache.chains.find(n);
    if (known != cache.chains.end()) {
      above = known->second;
      break;
    }
    if (!seen.insert(n).second) break;
    const ParentLink& link = cache.links.Of(state, n);
    if (!link.folder || !link.named) {  // reused for a file, or no name to give
      cache.chains.emplace(n, Fact{});
      break;
    }
    climbed.push_back(n);
    n = static_cast<uint32_t>(link.parentReference);
  }
  for (size_t i = climbed.size(); i-- > 0;) {
    Fact fact;
    if (above.names >= 0) {
      fact.names = above.names + 1;
      fact.unsafeName = above.unsafeName || !restore::IsSafeComponent(cache.links.Of(state, climbed[i]).name);
    }
    cache.chains.emplace(climbed[i], fact);
    above = fact;
  }
  return above;
}

// The folder names from the bounding folder down to `parentReference`, each
// checked on its own: a name holding '/' joined into the path would silently
// become two folders, and ".." would climb. The walk goes on past an unsafe
// name, since only a record inside the bounding folder is skipped for it. A
// chain longer than kMaxChainSteps counts as never meeting the folder.
void RebuildRelativePath(ScanState& state, uint64_t parentReference, uint32_t boundFolder, NtfsRestoreCache& cache) {
  cache.path.clear();
  cache.inside = false;
  cache.unsafeName = false;
  if (state.mftRecordSize == 0) return;
  const NtfsRestoreCache::ChainFact chain =
      ChainOf(state, static_cast<uint32_t>(parentReference), boundFolder, cache);
  if (chain.names < 0 || chain.names >= kMaxChainSteps) return;
  cache.inside = true;
  cache.unsafeName = chain.unsafeName;
  std::vector<const std::string*> names;
  for (uint32_t n = static_cast<uint32_t>(parentReference); names.size() < static_cast<size_t>(chain.names);) {
    const ParentLink& link = cache.links.Of(state, n);
    names.push_back(&link.name);
    n = static_cast<uint32_t>(link.parentReference);
  }
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (!cache.path.empty()) cache.path += '/';
    cache.path += **it;
  }
}

// Plain data of a step the device failed inside, handed on in pieces: the
// bytes on sectors that could not be read as unreadable (zeros), the rest as
// read. Clusters the reader cannot place on the volume are as it left them.
bool SendAroundDamage(ScanState& state, AttributeReader& reader, uint64_t vcn, ByteView bytes, const DataSink& sink) {
  const uint64_t clusterBytes = state.clusterBytes;
  uint64_t done = 0;  // bytes of `bytes` handed on
  const auto send = [&](uint64_t end, bool read) {
    if (end <= done) return true;
    const bool ok = sink(bytes.subspan(done, end - done), read);
    done = end;
    return ok;
  };
  for (uint64_t at = 0; at < bytes.size(); at += clusterBytes) {
    const auto placed = reader.PlacementOf(vcn + at / clusterBytes, 1);
    uint64_t volumeAt = 0;
    if (!placed || !CheckedMul(volume::ClusterToSector(state, placed->lcn), state.bytesPerSector, volumeAt) ||
        volumeAt > UINT64_MAX - clusterBytes)
      continue;
    const uint64_t length = std::min<uint64_t>(clusterBytes, bytes.size() - at);
    for (const volume::ByteRange& h : volume::UnreadableIn(state.readDamage, volumeAt, volumeAt + length))
      if (!send(at + (h.first - volumeAt), true) || !send(at + (h.end - volumeAt), false)) return false;
  }
  return send(bytes.size(), true);
}

// Uncompressed data is read and written this much at a time.
constexpr uint64_t kTransferBytes = 1u << 20;

// The non-resident data, step by step from VCN 0 up to its data size.
// Uncompressed data goes in chunks of many steps: one request and one write
// each. A chunk that cannot be read whole is read again step by step, so
// that what is written as unreadable is exactly what a step at a time would
// name.
WriteOutcome WriteClusters(ScanState& state, ByteView record, const AttributeHeader& data, const DataSink& sink,
                           std::u16string_view stream) {
  const uint64_t clusterBytes = state.clusterBytes;
  if (clusterBytes == 0) return WriteOutcome::kIncomplete;
  const TransferStep step = TransferStepOf(data, clusterBytes);
  const uint64_t stepsPerChunk =
      step.decompress ? 1 : std::max<uint64_t>(1, kTransferBytes / (step.clusters * clusterBytes));
  const uint64_t chunkClusters = stepsPerChunk * step.clusters;
  std::vector<uint8_t> buffer(chunkClusters * clusterBytes);
  // A record can claim any size; more than the volume holds is not written
  // out as zeros for ever, and the file is then not complete.
  bool complete = data.dataSize <= state.dataAreaBytes;
  // The attribute and its extents are found once for the whole file.
  AttributeReader reader(state, record, kAttrData, 0, stream);
  for (uint64_t vcn = 0, remaining = std::min(data.dataSize, state.dataAreaBytes); remaining > 0;
       vcn += chunkClusters) {
    if (volume::CancelRequested(state)) return WriteOutcome::kCancelled;
    const uint64_t chunkBytes = std::min<uint64_t>(buffer.size(), remaining);
    // The steps the data still reaches into, whole, as a step at a time asks for them.
    const uint64_t stepBytes = step.clusters * clusterBytes;
    const uint64_t clusters = (chunkBytes + stepBytes - 1) / stepBytes * step.clusters;
    if (reader.Read(vcn, clusters, MutableBytes(buffer).first(clusters * clusterBytes), step.decompress)) {
      if (!sink(ByteView(buffer.data(), chunkBytes), true)) return WriteOutcome::kWriteFailed;
      remaining -= chunkBytes;
      continue;
    }
    for (uint64_t at = 0; at < chunkBytes; at += stepBytes) {
      const MutableBytes piece = MutableBytes(buffer).subspan(at, stepBytes);
      const uint64_t stepVcn = vcn + at / clusterBytes;
      const uint64_t failedBefore = state.failedReads;
      const bool read = reader.Read(stepVcn, step.clusters, piece, step.decompress);
      complete &= read;
      const uint64_t bytes = std::min<uint64_t>(piece.size(), remaining);
      const ByteView written(piece.data(), bytes);
      bool sent = false;
      if (!read && state.failedReads != failedBefore) {
        // The reader leaves the sectors it could read in a step the device
        // failed inside. A compression unit cannot be trusted in part: it is
        // written as zeros whole. Plain data keeps every sector that was read.
        if (step.decompress) std::fill(piece.begin(), piece.end(), uint8_t{0});
        else sent = true;
        if (sent && !SendAroundDamage(state, reader, stepVcn, written, sink)) return WriteOutcome::kWriteFailed;
      }
      if (!sent && !sink(written, read)) return WriteOutcome::kWriteFailed;
      remaining -= bytes;
    }
  }
  return complete ? WriteOutcome::kWritten : WriteOutcome::kIncomplete;
}

// The size the record's unnamed $DATA claims; 0 when it has none. Records
// read from free clusters can claim anything.
uint64_t DataSizeOf(ScanState& state, ByteView record, std::u16string_view stream) {
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const std::optional<AttributeHeader> data = FindHeader(state, record, kAttrData, copy, ref, stream);
  if (!data) return 0;
  return data->nonResident ? data->dataSize : ResidentValue(AttributeBytes(copy, ref)).size();
}

}  // namespace

std::optional<std::vector<uint8_t>> LoadRecord(ScanState& state, const NtfsRecordSource& source) {
  std::vector<uint8_t> record(state.mftRecordSize);
  if (record.empty()) return std::nullopt;
  const bool read = source.recordNumber != 0 ? ReadMftRecord(state, source.recordNumber, record)
                                             : ReadRecordAt(state, source.cluster, source.slot, record);
  if (!read || !HasFileSignature(record)) return std::nullopt;
  return record;
}

namespace {

// One record on its way into a destination folder: what every write of its
// file or of one of its streams needs.
struct RecordWrite {
  ScanState& state;
  ByteView record;
  uint64_t written;  // the record's time, stamped on what is written
  const std::string& folder;
  Messages& messages;
  restore::Outcomes& outcomes;
};

// Writes one of a record's data streams (its own data when `stream` is
// empty) to a unique name in the folder and stamps it. A file cut short by a
// failed write or by Cancel is removed. `kept` receives the path of a file
// that stays.
bool WriteRecordData(const RecordWrite& w, const std::string& name, std::u16string_view stream,
                     std::string* kept = nullptr) {
  ScanState& state = w.state;
  const std::string& folder = w.folder;
  restore::Outcomes& outcomes = w.outcomes;
  if (!PathFits(folder + "/" + name)) {
    restore::SkipTooLong(w.messages, outcomes, folder + "/" + name);
    return false;
  }
  if (DataSizeOf(state, w.record, stream) > state.dataAreaBytes) {
    outcomes.Skipped(folder + "/" + name, restore::kReasonLargerThanVolume);
    return false;
  }
  restore::RestoredFile file;
  if (!file.Create(folder, name, outcomes.DestinationOf())) {
    outcomes.Failed(file.Path(), restore::WriteFailureReason(file.Error()));
    return false;
  }
  state.StartRestoringFile(name);
  file.SetWrittenObserver([&state](uint64_t bytes) { state.AddRestoredBytes(bytes); });
  const WriteOutcome outcome = CopyRecordData(
      state, w.record, [&file](ByteView bytes, bool read) { return read ? file.Write(bytes) : file.WriteUnreadable(bytes); },
      stream);
  if (outcome == WriteOutcome::kCancelled) {
    file.Abandon();
    outcomes.Skipped(folder + "/" + name, restore::kReasonInterrupted);
    return false;
  }
  if (outcome == WriteOutcome::kWriteFailed)
    w.messages.Show(kWriteFailedMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  const bool stays = file.Finish(outcomes, RestoredTime(w.written));
  if (stays && kept) *kept = file.Path();
  return stays;
}

// The name a stream of the file `fileName` is written under in `folder`:
// "FILE:STREAM" where the destination takes it (on Windows' NTFS a real
// stream), else "FILE_STREAM", counted.
std::string StreamFileName(const std::string& folder, const std::string& fileName, const std::string& stream,
                           restore::Outcomes& outcomes) {
  if (platform::FolderTakesStreamNames(folder)) return fileName + ":" + stream;
  outcomes.StreamBesideName();
  return fileName + "_" + stream;
}

// The key a stream of the record at `key` is marked done under, so that a
// stream row chosen with its file is written once.
std::string StreamKey(const std::string& key, const std::string& stream) { return key + ":" + stream; }

// Writes the one stream `stream` of the record beside the file `fileName`.
bool WriteStream(const RecordWrite& w, const DataStream& stream, const std::string& fileName) {
  const std::string name = StreamFileName(w.folder, fileName, stream.utf8, w.outcomes);
  if (!restore::IsSafeComponent(name)) {
    w.outcomes.Skipped(w.folder + "/" + name, restore::kReasonUnsafeName);
    return false;
  }
  return WriteRecordData(w, name, stream.name);
}

// Each stream of the record at `key` not written yet, beside the file or
// folder `fileName` made for it in the write's folder.
bool WriteStreamsBeside(const RecordWrite& w, const std::string& fileName, const std::string& key) {
  bool all = true;
  for (const DataStream& stream : NamedDataStreams(w.state, w.record)) {
    if (w.state.cancelled || w.outcomes.AlreadyDone(StreamKey(key, stream.utf8))) continue;
    w.outcomes.MarkDone(StreamKey(key, stream.utf8));
    all &= WriteStream(w, stream, fileName);
  }
  return all;
}

// The record's file, then each of its streams beside it under the name the
// file was given (made unique, it may not be the record's own).
bool RestoreFileInto(const RecordWrite& w, const std::string& name, const std::string& key) {
  std::string path;
  const bool whole = WriteRecordData(w, name, {}, &path);
  if (path.empty()) return whole;
  return WriteStreamsBeside(w, path.substr(path.find_last_of('/') + 1), key) && whole;
}

// The folder a path names, and its name there: where a folder's own streams
// are written, beside it.
std::pair<std::string, std::string> SplitLast(const std::string& path) {
  const size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return {std::string(), path};
  return {path.substr(0, cut), path.substr(cut + 1)};
}

// The folder a record goes into, created when missing; empty when skipped
// (and recorded for `item`).
std::string TargetFolder(const std::string& root, const std::string& relative, const std::string& item,
                         Messages& messages, restore::Outcomes& outcomes) {
  if (relative.empty()) return root;
  if (!PathFits(root + "/" + relative)) {
    restore::SkipTooLong(messages, outcomes, item);
    return {};
  }
  return restore::JoinRecorded(root, relative, messages, outcomes, item);
}

std::string SourceKey(const NtfsRecordSource& source) {
  return source.recordNumber != 0 ? "ntfs:" + std::to_string(source.recordNumber)
                                  : "ntfs-at:" + std::to_string(source.cluster) + ":" + std::to_string(source.slot);
}

}  // namespace

std::optional<timespec> RestoredTime(uint64_t fileTime) {
  if (fileTime == 0) return std::nullopt;
  return FileTimeToTimespec(fileTime);
}

timespec FileTimeToTimespec(uint64_t fileTime) {
  constexpr uint64_t kTicksPerSecond = 10000000;
  constexpr uint64_t kUnixEpochTicks = 116444736000000000;  // 1601-01-01 to 1970-01-01
  timespec t{};
  if (fileTime >= kUnixEpochTicks) {
    const uint64_t ticks = fileTime - kUnixEpochTicks;
    t.tv_sec = static_cast<time_t>(ticks / kTicksPerSecond);
    t.tv_nsec = static_cast<long>(ticks % kTicksPerSecond * 100);
  } else {
    // Before 1970: whole seconds round down, the nanoseconds stay positive.
    const uint64_t ticks = kUnixEpochTicks - fileTime;
    const uint64_t seconds = (ticks + kTicksPerSecond - 1) / kTicksPerSecond;
    t.tv_sec = -static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>((seconds * kTicksPerSecond - ticks) * 100);
  }
  return t;
}

WriteOutcome CopyRecordData(ScanState& state, ByteView record, const DataSink& sink, std::u16string_view stream) {
  std::vector<uint8_t> copy;
  AttributeRef ref;
  const std::optional<AttributeHeader> data = FindHeader(state, record, kAttrData, copy, ref, stream);
  if (data && !data->nonResident) {
    const ByteView value = ResidentValue(AttributeBytes(copy, ref));
    return sink(value, true) ? WriteOutcome::kWritten : WriteOutcome::kWriteFailed;
  }
  return data ? WriteClusters(state, record, *data, sink, stream) : WriteOutcome::kWritten;
}

bool RestoreNtfsFile(ScanState& state, const NtfsRecordSource& source, const std::string& destinationFolder,
                     Messages& messages, restore::Outcomes& outcomes, const NtfsFileChoice& choice) {
  const std::string key = SourceKey(source);
  const std::string doneKey = choice.stream.empty() ? key : StreamKey(key, choice.stream);
  if (outcomes.AlreadyDone(doneKey)) return true;
  outcomes.MarkDone(doneKey);
  const auto record = LoadRecord(state, source);
  const auto name = record ? FileNameOf(state, *record) : std::nullopt;
  const auto written = record ? LastWrittenTime(state, *record) : std::nullopt;
  if (!name || !written) {
    outcomes.Skipped(destinationFolder + "/" + key, restore::kReasonNoData);
    return false;
  }
  const std::string utf8 = choice.name.empty() ? NameToUtf8(name->name) : choice.name;
  if (!restore::IsSafeComponent(utf8)) {
    outcomes.Skipped(destinationFolder + "/" + utf8, restore::kReasonUnsafeName);
    return false;
  }
  if (state.progress) state.progress->SetFileName(utf8);
  const RecordWrite write{state, *record, *written, destinationFolder, messages, outcomes};
  if (choice.stream.empty()) return RestoreFileInto(write, utf8, key);
  for (const DataStream& stream : NamedDataStreams(state, *record))
    if (stream.utf8 == choice.stream) return WriteStream(write, stream, utf8);
  outcomes.Skipped(destinationFolder + "/" + utf8 + ":" + choice.stream, restore::kReasonNoData);
  return false;
}

bool RestoreFoundRecord(ScanState& state, const restore::RestoreTarget& target, const FoundRecord& r) {
  Messages& messages = restore::MessagesOf(target);
  restore::Outcomes& outcomes = restore::OutcomesOf(target);
  // A folder record read from a scanned cluster has no number to walk the
  // table by: the folder is made with its time, and the files the scan found
  // in it are rows of their own.
  const bool scannedFolder = r.isFolder && r.source.recordNumber == 0;
  if (r.isFolder && ((scannedFolder && r.source.cluster == 0) || !restore::IsSafeComponent(r.name) ||
                     (!r.restoreName.empty() && !restore::IsSafeComponent(r.restoreName))))
    return false;
  const std::string key = scannedFolder ? SourceKey(r.source) : "ntfs:" + std::to_string(r.source.recordNumber);
  if (r.isFolder && outcomes.AlreadyDone(key)) return true;
  // A file written already (with the folder that held it) makes no folder on the way again.
  const std::string fileKey = r.stream.empty() ? SourceKey(r.source) : StreamKey(SourceKey(r.source), r.stream);
  if (!r.isFolder && outcomes.AlreadyDone(fileKey)) return true;
  const std::string listed = restore::ParentOf(target, r.folder);
  const std::string parent = restore::ResolveFolder(target, listed, listed + "/" + r.name);
  if (parent.empty()) return true;
  if (!r.isFolder) {
    RestoreNtfsFile(state, r.source, parent, messages, outcomes, {r.stream, r.restoreName});
    return true;
  }
  outcomes.MarkDone(key);
  const std::string& folderName = r.restoreName.empty() ? r.name : r.restoreName;
  const std::string folder =
      restore::JoinRecorded(parent, folderName, messages, outcomes, parent + "/" + folderName, true);
  if (folder.empty()) return true;
  outcomes.Restored(folder, true);
  const auto record = LoadRecord(state, r.source);
  const auto written = record ? LastWrittenTime(state, *record) : std::nullopt;
  if (written) {
    if (const auto time = RestoredTime(*written)) outcomes.SetFolderTimeLater(folder, *time);
    const auto [into, made] = SplitLast(folder);
    WriteStreamsBeside({state, *record, *written, into, messages, outcomes}, made, key);
  }
  if (!scannedFolder) RestoreNtfsFolder(state, r.source.recordNumber, folder, messages, outcomes);
  return true;
}

bool RecordCarriesName(ScanState& state, const FoundRecord& found) {
  const auto record = LoadRecord(state, found.source);
  const auto name = record ? FileNameOf(state, *record) : std::nullopt;
  return name && NameToUtf8(name->name) == found.name;
}

std::optional<timespec> RecordTime(ScanState& state, const NtfsRecordSource& source) {
  const auto record = LoadRecord(state, source);
  const auto written = record ? LastWrittenTime(state, *record) : std::nullopt;
  if (!written) return std::nullopt;
  return RestoredTime(*written);
}

void RestoreNtfsRecord(ScanState& state, uint32_t recordNumber, ByteView record, uint32_t boundFolder,
                       const std::string& destinationRoot, NtfsRestoreRun& run) {
  const auto name = FileNameOf(state, record);
  const auto written = LastWrittenTime(state, record);
  if (!name || !written) return;
  NtfsRestoreCache& cache = run.cache;
  if (name->parentReference != cache.lastParent) {
    RebuildRelativePath(state, name->parentReference, boundFolder, cache);
    cache.lastParent = name->parentReference;
  }
  if (!cache.inside) return;
  const std::string key = "ntfs:" + std::to_string(recordNumber);
  if (run.outcomes.AlreadyDone(key)) return;
  run.outcomes.MarkDone(key);
  const std::string utf8 = NameToUtf8(name->name);
  const std::string item = destinationRoot + "/" + (cache.path.empty() ? utf8 : cache.path + "/" + utf8);
  if (cache.unsafeName || !restore::IsSafeComponent(utf8)) {
    run.outcomes.Skipped(item, restore::kReasonUnsafeName);
    return;
  }
  if (state.progress) state.progress->SetFileName(utf8);
  run.outcomes.SetWalkSource(state.rootPath + (cache.path.empty() ? utf8 : cache.path + "/" + utf8) + " (レコード " +
                             std::to_string(recordNumber) + ")");
  const bool folder = (RecordFlags(record) & kRecordDirectory) != 0;
  const std::string relative = !folder ? cache.path : cache.path.empty() ? utf8 : cache.path + "/" + utf8;
  const std::string target = TargetFolder(destinationRoot, relative, item, run.messages, run.outcomes);
  if (target.empty()) return;
  if (folder) {
    if (const auto time = RestoredTime(*written)) run.outcomes.SetFolderTimeLater(target, *time);
    run.outcomes.Restored(target, true);
    const auto [into, made] = SplitLast(target);
    WriteStreamsBeside({state, record, *written, into, run.messages, run.outcomes}, made, key);
    return;
  }
  RestoreFileInto({state, record, *written, target, run.messages, run.outcomes}, utf8, key);
}

bool RestoreNtfsFolder(ScanState& state, uint32_t boundFolder, const std::string& destinationRoot,
                       Messages& messages, restore::Outcomes& outcomes) {
  // Record 0 is the table itself, never a folder; it means "no bound".
  if (boundFolder == 0) return false;
  const uint8_t mode = state.operationMode;
  state.operationMode = volume::kModeRestore;
  NtfsRestoreRun run{messages, outcomes, {}};
  const bool walked = SearchNtfs(state, boundFolder, destinationRoot, &run);
  outcomes.ApplyFolderTimes();
  state.operationMode = mode;
  return walked;
}

}  // namespace vellum::ntfs
