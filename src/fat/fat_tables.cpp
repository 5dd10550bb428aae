#include "fat/fat_tables.h"

#include <algorithm>
#include <vector>

#include "volume/boot_sector.h"
#include "volume/exfat_layout.h"
#include "volume/le.h"
#include "volume/sector_io.h"
#include "volume/source.h"

namespace vellum::fat {

using volume::kExfat;
using volume::kFatEndOfChain;
using volume::ReadCluster;
using volume::ReadFatEntry;
using volume::ReadSectors;

namespace {


// The FAT as the boot sector sizes it, but never more than the device holds
// past the FAT's start: a damaged size must not become a huge allocation, and
// a cut-off image still yields the part of its FAT that survived.
void ReadFat(ScanState& state) {
  const uint64_t bps = state.bytesPerSector;
  const uint64_t start = uint64_t{state.fatStartSector} * bps;
  const uint64_t device = state.volumeHandle->Size();
  const uint64_t available = device > start ? (device - start) / bps : 0;
  const uint64_t sectors = std::min<uint64_t>(state.fatSectors, available);
  state.fat.assign(sectors * bps, 0);
  ReadSectors(state, state.fatStartSector, sectors, state.fat);
}

}  // namespace

std::string LoadFatTables(ScanState& state) {
  if (!ReadBootGeometry(state, 0)) return "cannot read the boot sector";
  if (std::string why = CheckGeometry(state); !why.empty()) return why;
  // An image cut off before its clusters begin has lost part of its FAT or
  // root directory: what it lists could not be trusted. One cut inside the
  // data area still yields whatever lies before the cut.
  const uint64_t metadataEnd = uint64_t{state.firstDataSector} * state.bytesPerSector;
  if (state.volumeHandle->Size() < metadataEnd)
    return "the image ends at byte " + std::to_string(state.volumeHandle->Size()) +
           ", before the end of its allocation table and root directory (byte " +
           std::to_string(metadataEnd) + ")";
  ReadFat(state);
  // The bitmap's own cluster chain is looked up in the FAT, so the FAT comes
  // first. An unreadable root leaves the bitmap empty, which counts every
  // cluster as used: the volume can still be scanned, nothing is taken for free.
  if (state.fsKind == kExfat) LoadExfatBitmap(state, state.rootCluster);
  state.fatWork = state.fat;
  return {};
}

bool LoadExfatBitmap(ScanState& state, uint32_t rootCluster) {
  state.exfatBitmap.clear();
  if (state.clusterBytes == 0) return false;
  std::vector<uint8_t> cluster(state.clusterBytes);
  const bool rootRead = ReadCluster(state, rootCluster, cluster);

  uint64_t first = 0, length = 0;
  using namespace exfat_layout;
  for (size_t at = 0; InBounds(cluster.size(), at, kEntryBytes); at += kEntryBytes) {
    FieldReader entry(ByteView(cluster).subspan(at, kEntryBytes));
    if (entry.Read(kEntryType) == kBitmapEntry) {
      first = entry.Read(kBitmapFirstCluster);
      length = entry.Read(kBitmapLength);
      break;
    }
  }
  // A valid bitmap has one bit per cluster; a longer length is damage, and no
  // bitmap can be larger than the device it is stored on.
  const uint64_t clusterCount = state.lastCluster > 0 ? state.lastCluster - 1 : 0;
  const uint64_t deviceBytes = state.volumeHandle ? state.volumeHandle->Size() : 0;
  length = std::min({length & 0xFFFFFFFFu, (clusterCount + 7) / 8, deviceBytes});
  state.exfatBitmap.resize(length);

  uint64_t copied = 0;
  for (uint64_t c = first; copied < length && c <= state.lastCluster;) {
    ReadCluster(state, c, cluster);
    const uint64_t n = std::min<uint64_t>(cluster.size(), length - copied);
    std::copy_n(cluster.begin(), n, state.exfatBitmap.begin() + static_cast<ptrdiff_t>(copied));
    copied += n;
    uint64_t next = static_cast<uint32_t>(ReadFatEntry(state, state.fat, c));
    if (next < 2 || next > state.lastCluster) next = c + 1;
    c = next;
  }
  return rootRead;
}

}  // namespace vellum::fat
