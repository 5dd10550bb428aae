#include "volume/sector_io.h"

#include <algorithm>
#include <cstdint>

#include "platform/read_ahead.h"
#include "volume/read_around.h"

namespace vellum::volume {

namespace {

// Byte range of `count` sectors at `sector`, or false when it overflows or the
// buffer cannot hold it.
bool SectorRange(const ScanState& state, uint64_t sector, uint64_t count, size_t bufferSize,
                 uint64_t& offset, uint64_t& bytes) {
  return CheckedMul(sector, state.bytesPerSector, offset) &&
         CheckedMul(count, state.bytesPerSector, bytes) && bytes <= bufferSize;
}

// A read past the device's end is no fault of the disk: a volume that
// claims more than its image holds is told about once, when it is opened.
bool CountFailure(ScanState& state, uint64_t offset, uint64_t bytes, bool ok) {
  const uint64_t size = state.volumeHandle->Size();
  if (!ok && offset <= size && bytes <= size - offset) ++state.failedReads;
  return ok;
}

// One read of the volume. A healthy read costs one device call and a test
// of two integers; only a failed one goes the slow way round its sectors.
bool Transfer(ScanState& state, uint64_t offset, MutableBytes out) {
  ReadDamage& damage = state.readDamage;
  const bool skipped = InSkip(damage, offset);
  if (!skipped && state.volumeHandle->Read(offset, out)) {
    if (damage.failedInRow != 0 || damage.nextSkip != 0) damage.failedInRow = damage.nextSkip = 0;
    return true;
  }
  const uint64_t size = state.volumeHandle->Size();
  // Bytes past the device's end stay zeros and count for nothing.
  if (offset >= size) return false;
  const bool whole = ReadAroundFailure(state, offset, out, !skipped);
  return CountFailure(state, offset, out.size(), whole && out.size() <= size - offset);
}

bool BitSet(ByteView bitmap, uint64_t bit) {
  return (bitmap[bit / 8] >> (bit % 8)) & 1;
}

}  // namespace

bool ReadSectors(ScanState& state, uint64_t sector, uint64_t count, MutableBytes buffer) {
  uint64_t offset = 0, bytes = 0;
  if (!state.volumeHandle || !SectorRange(state, sector, count, buffer.size(), offset, bytes))
    return false;
  return Transfer(state, offset, buffer.first(bytes));
}

bool WriteSectors(ScanState& state, uint64_t sector, uint64_t count, ByteView buffer) {
  uint64_t offset = 0, bytes = 0;
  if (!state.volumeHandle || !SectorRange(state, sector, count, buffer.size(), offset, bytes))
    return false;
  return state.volumeHandle->Write(offset, buffer.first(bytes));
}

uint64_t ClusterToSector(const ScanState& state, uint64_t cluster) {
  if (state.fsKind == kNtfs) return cluster * state.sectorsPerCluster;
  // Clusters below 2 wrap below the data area; callers only pass them in the
  // documented corner cases, and the reads then fail or land before the heap.
  return state.firstDataSector + (cluster - 2) * state.sectorsPerCluster;
}

ReadAheadScope::ReadAheadScope(ScanState& state) : state_(state) {
  if (!state.volumeHandle) return;
  auto wrapper = std::make_unique<platform::ReadAheadDevice>(std::move(state.volumeHandle));
  wrapper_ = wrapper.get();
  state.volumeHandle = std::move(wrapper);
}

ReadAheadScope::~ReadAheadScope() {
  // Whoever replaced the handle meanwhile owns the device now.
  if (wrapper_ == nullptr || state_.volumeHandle.get() != wrapper_) return;
  state_.volumeHandle = wrapper_->Release();
}

namespace {

// The device's view of a byte range SectorRange gave, or empty.
ByteView InPlace(ScanState& state, uint64_t offset, uint64_t bytes, int holder) {
  if (bytes == 0) return {};
  const auto view = state.volumeHandle->View(offset, static_cast<size_t>(bytes), holder);
  return view.size() == bytes ? view : ByteView{};
}

}  // namespace

ByteView SectorsInPlace(ScanState& state, uint64_t sector, uint64_t count, int holder) {
  uint64_t offset = 0, bytes = 0;
  if (!state.volumeHandle || !SectorRange(state, sector, count, SIZE_MAX, offset, bytes)) return {};
  return InPlace(state, offset, bytes, holder);
}

ByteView ViewSectors(ScanState& state, uint64_t sector, uint64_t count, std::vector<uint8_t>& fallback,
                     int holder) {
  uint64_t offset = 0, bytes = 0;
  if (!state.volumeHandle || !SectorRange(state, sector, count, fallback.size(), offset, bytes)) {
    std::fill(fallback.begin(), fallback.end(), uint8_t{0});
    return fallback;
  }
  if (const ByteView view = InPlace(state, offset, bytes, holder); !view.empty()) return view;
  // The device zeroes whatever it cannot read.
  Transfer(state, offset, MutableBytes(fallback).first(bytes));
  return ByteView(fallback).first(bytes);
}

ByteView ViewCluster(ScanState& state, uint64_t cluster, std::vector<uint8_t>& fallback, int holder) {
  return ViewSectors(state, ClusterToSector(state, cluster), state.sectorsPerCluster, fallback, holder);
}

bool ReadCluster(ScanState& state, uint64_t cluster, MutableBytes buffer) {
  return ReadSectors(state, ClusterToSector(state, cluster), state.sectorsPerCluster, buffer);
}

uint64_t FatEntryCount(const ScanState& state) {
  const uint64_t bytes = state.fat.size();
  switch (state.fsKind) {
    case kFat12: return bytes / 3 * 2 + (bytes % 3 == 2 ? 1 : 0);
    case kFat16: return bytes / 2;
    case kFat32:
    case kExfat: return bytes / 4;
    default: return 0;
  }
}

int32_t ReadFatEntry(const ScanState& state, ByteView table, uint64_t cluster) {
  if (cluster == kNoCluster) return kFatEndOfChain;
  switch (state.fsKind) {
    case kFat12: {
      // Two 12-bit entries share three bytes:
      //   byte0 = even[7:0], byte1 = odd[3:0] << 4 | even[11:8], byte2 = odd[11:4]
      const uint64_t c = cluster % 65536;
      const uint64_t at = c / 2 * 3;
      if (!InBounds(table.size(), at, (c & 1) ? 3 : 2)) return kFatEndOfChain;
      const uint32_t v = (c & 1) ? (table[at + 1] >> 4) | (table[at + 2] << 4)
                                 : table[at] | ((table[at + 1] & 0x0F) << 8);
      if (v == 0xFF7) return kFatBad;
      if (v == 0xFFF) return kFatEndOfChain;
      return static_cast<int32_t>(v);
    }
    case kFat16: {
      if (cluster >= table.size() / 2) return kFatEndOfChain;
      const uint32_t v = Le16(table, cluster * 2);
      if (v == 0xFFF7) return kFatBad;
      if (v == 0xFFFF) return kFatEndOfChain;
      return static_cast<int32_t>(v);
    }
    case kFat32:
    case kExfat: {
      if (cluster >= table.size() / 4) return kFatEndOfChain;
      const uint32_t v = Le32(table, cluster * 4);
      if (v == 0x0FFFFFF7) return kFatBad;
      if (v == 0x0FFFFFF8 || v == 0x0FFFFFFF) return kFatEndOfChain;
      return static_cast<int32_t>(v);
    }
    default: return kFatEndOfChain;
  }
}

void WriteFatEntry(ScanState& state, uint64_t cluster, int32_t value) {
  MutableBytes t(state.fatWork);
  const uint32_t v = static_cast<uint32_t>(value);
  switch (state.fsKind) {
    case kFat12: {
      const uint64_t c = cluster % 65536;
      const uint64_t at = c / 2 * 3;
      if (!InBounds(t.size(), at, (c & 1) ? 3 : 2)) return;
      if (c & 1) {
        t[at + 1] = static_cast<uint8_t>((t[at + 1] & 0x0F) | ((v & 0x0F) << 4));
        t[at + 2] = static_cast<uint8_t>(v >> 4);
      } else {
        t[at] = static_cast<uint8_t>(v);
        t[at + 1] = static_cast<uint8_t>((t[at + 1] & 0xF0) | ((v >> 8) & 0x0F));
      }
      return;
    }
    case kFat16:
      if (cluster < t.size() / 2) PutLe16(t, cluster * 2, static_cast<uint16_t>(v));
      return;
    case kFat32:
      if (cluster < t.size() / 4) PutLe32(t, cluster * 4, v);
      return;
    default: return;
  }
}

bool IsExfatClusterUsed(const ScanState& state, uint64_t cluster) {
  const uint64_t bit = cluster - 2;  // clusters 0 and 1 wrap far outside
  if (bit / 8 >= state.exfatBitmap.size()) return true;
  return BitSet(state.exfatBitmap, bit);
}

bool IsNtfsClusterUsed(const ScanState& state, uint64_t cluster) {
  if (cluster / 8 >= state.clusterBitmap.size()) return true;
  return BitSet(state.clusterBitmap, cluster);
}

bool NextCandidateCluster(const ScanState& state, uint64_t& cluster, bool freeOnly) {
  // With freeOnly, no cluster past the table (FAT) or the bitmap (NTFS) can be
  // free, so the search ends there rather than counting up to a hostile lastCluster.
  uint64_t last = state.lastCluster;
  if (freeOnly) {
    const uint64_t known = state.fsKind == kNtfs ? state.clusterBitmap.size() * 8 : FatEntryCount(state);
    last = std::min(last, known == 0 ? 0 : known - 1);
  }
  for (++cluster; cluster != 0 && cluster <= last; ++cluster) {
    if (!freeOnly) return true;
    const bool free = state.fsKind == kNtfs ? !IsNtfsClusterUsed(state, cluster)
                                            : ReadFatEntry(state, state.fat, cluster) == 0;
    if (free) return true;
  }
  cluster = 0;
  return false;
}

}  // namespace vellum::volume
