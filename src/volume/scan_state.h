// The one record of the open volume: selection, geometry, the per-volume
// tables, and the counters and flags of the command that runs. The application
// owns exactly one and passes it by reference to every walker.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/block_device.h"
#include "platform/disk_bios.h"
#include "volume/read_damage.h"
#include "volume/seams.h"

namespace vellum::volume {

enum FsKind : uint8_t {
  kFsNone = 0,
  kFat12 = 1,
  kFat16 = 2,
  kFat32 = 3,
  kNtfs = 4,
  kExfat = 5,
};

enum OperationMode : uint8_t {
  kModeSearch = 0,
  kModeRestore = 1,
  kModeCompleteDeletion = 2,
};

// What the user chose beside the drive: the name filter (already upper-case,
// as typed into the filter box) and the three check boxes.
struct SearchOptions {
  std::string filter;
  bool zeroSize = false;  // list files of size 0
  bool inUse = false;     // list files whose first cluster is in use again
  bool analyse = true;    // analyse cluster contents during cluster scans
  // Reach further than the plain walk: deleted entries in live exFAT folders,
  // deleted FAT folders past their first cluster, and long names whose
  // checksum fails only on the unknown first byte of the short name.
  bool thorough = false;
};

// The text the info command and messages use for a file-system kind.
const char* FsKindName(uint8_t fsKind);

struct ScanState {
  // Selection and device. Linux always takes the raw-device path; the legacy
  // BIOS path adds its unit, partition and geometry fields beside these.
  int32_t isNt = 1;
  int32_t isNt6OrLater = 1;
  // The legacy path (isNt 0): the disk BIOS it goes through, the unit and
  // partition selected, the partition's first sector on the unit (callers add
  // it to the volume's sector numbers), and what the BIOS says of the unit.
  platform::DiskBios* bios = nullptr;
  const struct BiosDiskTables* biosTables = nullptr;  // the units' partitions, found at start-up
  uint8_t biosUnit = 0;
  int32_t partitionIndex = 0;
  uint64_t partitionStart = 0;
  int32_t lbaSupported = 0;
  platform::BiosGeometry biosGeometry{};
  int32_t driveIndex = 0;
  std::string rootPath;
  std::unique_ptr<platform::BlockDevice> volumeHandle;
  uint8_t fsKind = kFsNone;
  uint8_t operationMode = kModeSearch;
  uint32_t savedSerial = 0;
  std::string savedLabel;

  // Geometry. sectorsPerCluster is wider than the boot sector's byte because
  // exFAT's shift allows 65536 sectors per cluster (32 MiB with 512-byte sectors).
  uint16_t bytesPerSector = 512;
  uint32_t sectorsPerCluster = 0;
  uint32_t clusterBytes = 0;
  uint64_t lastCluster = 0;
  uint64_t dataAreaBytes = 0;
  uint32_t fatStartSector = 0;
  uint32_t fatSectors = 0;
  uint32_t rootEntryCount = 0;
  uint32_t rootDirSectors = 0;
  uint32_t rootDirSector = 0;
  uint32_t firstDataSector = 0;
  uint32_t rootCluster = 0;
  uint32_t totalSectors = 0;
  uint32_t volumeSerial = 0;
  std::array<uint8_t, 512> ntfsBoot{};
  uint32_t mftRecordSize = 0;
  std::vector<uint8_t> mftRecord0;

  // Per-volume tables, rebuilt by every opening.
  std::vector<uint8_t> fat;
  std::vector<uint8_t> fatWork;
  std::vector<uint8_t> exfatBitmap;
  std::vector<uint8_t> clusterBitmap;
  // exFAT: the directory clusters a complete deletion's walk has read (and
  // wiped), so that its pass over orphaned directory clusters leaves them be.
  std::vector<uint32_t> exfatWalkedDirectoryClusters;

  // Counters and flags of the running command.
  int32_t foundCount = 0;
  int32_t rowCount = 0;
  int32_t cancelled = 0;
  int32_t allClusters = 0;
  int32_t clusterScan = 0;
  // Bytes a restore has written; with countRestoredBytes its progress phase
  // counts them (AddRestoredBytes).
  uint64_t restoredBytes = 0;
  bool countRestoredBytes = false;
  // The file being restored and the bytes written to it so far: shown
  // beside its name as they grow, so a long file is seen to move.
  std::string restoringName;
  uint64_t restoringBytes = 0;
  // Disk structures ended early because a field lay outside them.
  uint64_t truncatedStructures = 0;
  // Folders a FAT search did not enter: their path would pass the name limit.
  uint64_t foldersTooDeep = 0;
  // Reads the device failed inside its own size (a bad sector, a damaged
  // image): what they should have given was taken as zeros.
  uint64_t failedReads = 0;
  // The clusters of the files content analysis measured by their structure
  // in this search, from first to last as they were followed: a photo that
  // begins inside one of them (a thumbnail, a raw file's preview) is part
  // of that file, not a file of its own.
  struct CarvedSpan {
    uint64_t first = 0, last = 0;
    bool followFree = false;
  };
  std::vector<CarvedSpan> carvedSpans;
  // Which bytes those reads could not give, sector by sector, and what the
  // reader skipped after a long run of failures.
  ReadDamage readDamage;

  // What complete deletion wrote: the entries overwritten, the clusters
  // overwritten with zeros, and the writes the device refused (the first
  // one's sector and the system's reason).
  struct WipeRecord {
    // The data a wiped entry pointed at: its first cluster and size, and
    // for exFAT the Stream Extension's flag byte (the run rule it follows).
    struct Data {
      uint64_t firstCluster = 0;
      uint64_t size = 0;
      bool exfat = false;
      uint8_t streamFlags = 0;
    };
    uint64_t entries = 0;
    std::vector<Data> data;
    std::vector<bool> zeroed;    // by cluster, once a pass has overwritten it
    uint64_t dataClusters = 0;   // the free clusters of wiped entries, zeroed
    uint64_t freeClusters = 0;   // every other free cluster (the free-space pass)
    uint64_t stoppedAtCluster = 0;  // where a cancelled pass stopped; 0 when none was
    uint64_t failedWrites = 0;
    uint64_t firstFailedSector = 0;
    std::string error;
  } wipe;

  // Links to the user interface of the running command, owned by the caller;
  // walkers list rows and report progress through them. progress is set by
  // the walker that opened it, for the duration of its walk.
  SearchOptions options;
  Progress* progress = nullptr;
  RowSink* rows = nullptr;
  ShellInfo* shell = nullptr;

  // Counts bytes written by a restore and, once per MiB, moves its progress
  // phase on (a Cancel there sets cancelled).
  void AddRestoredBytes(uint64_t bytes);
  // A new file begins: its name goes to the progress window.
  void StartRestoringFile(std::string_view name);
};

}  // namespace vellum::volume
