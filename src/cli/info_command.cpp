#include "cli/info_command.h"

#include "app/open_volume.h"
#include "app/volume_label.h"

#include <cerrno>

#include <iomanip>
#include <ostream>

#include "cli/source_drive.h"
#include "volume/boot_sector.h"
#include "volume/source.h"
#include "app/volume_tables.h"
#include "volume/volume_extent.h"

namespace vellum::cli {

using volume::ScanState;

bool OpenSourceVolume(const std::string& source, uint32_t partition, ScanState& state, std::string& error,
                      bool* usage) {
  auto opened = volume::OpenSource(source, partition);
  if (!opened.device) {
    error = opened.error;
    if (opened.errorCode == EACCES || opened.errorCode == EPERM) error += PermissionHintFor(source);
    if (usage) *usage = opened.partitionChoice;
    return false;
  }
  state.volumeHandle = std::move(opened.device);
  state.rootPath = opened.rootText;
  const uint32_t sectorSize = state.volumeHandle->SectorSize();
  state.bytesPerSector = sectorSize > 0 && sectorSize <= 32768 ? static_cast<uint16_t>(sectorSize) : 512;
  // Worded as the search words it.
  if (state.volumeHandle->Size() == 0) {
    error = source + ": " + std::string(app::kEmptyVolumeMessage);
    return false;
  }
  if (!volume::DetectFsKind(state)) {
    const std::string why = state.volumeHandle->LastError().empty()
                                ? "先頭に FAT12、FAT16、FAT32、exFAT、NTFS のブートセクタがありません。"
                                : state.volumeHandle->LastError();
    error = source + " を読み取れません: " + why;
    return false;
  }
  if (std::string why = app::LoadVolumeTables(state); !why.empty()) {
    error = source + " (" + volume::FsKindName(state.fsKind) + ") を読み取れません: " + why;
    return false;
  }
  return true;
}

namespace {

template <typename T>
void Line(std::ostream& out, const char* name, T value) {
  out << name << '\t' << value << '\n';
}

void PrintFatFields(const ScanState& s, std::ostream& out) {
  Line(out, "fatStartSector", s.fatStartSector);
  Line(out, "fatSectors", s.fatSectors);
  if (s.fsKind != volume::kExfat) {
    Line(out, "rootEntryCount", s.rootEntryCount);
    Line(out, "rootDirSectors", s.rootDirSectors);
    Line(out, "rootDirSector", s.rootDirSector);
  }
  Line(out, "firstDataSector", s.firstDataSector);
  Line(out, "rootCluster", s.rootCluster);
  if (s.fsKind != volume::kExfat) {
    Line(out, "totalSectors", s.totalSectors);
    out << "volumeSerial\t" << std::hex << std::uppercase << std::setw(8) << std::setfill('0')
      << s.volumeSerial << std::dec << '\n';
  } else {
    Line(out, "exfatBitmapBytes", s.exfatBitmap.size());
  }
}

}  // namespace

void PrintGeometry(ScanState& s, std::ostream& out) {
  Line(out, "fsKind", volume::FsKindName(s.fsKind));
  Line(out, "bytesPerSector", s.bytesPerSector);
  Line(out, "sectorsPerCluster", s.sectorsPerCluster);
  Line(out, "clusterBytes", s.clusterBytes);
  Line(out, "lastCluster", s.lastCluster);
  Line(out, "dataAreaBytes", s.dataAreaBytes);
  Line(out, "volumeBytes", s.volumeHandle ? s.volumeHandle->Size() : 0);
  Line(out, "volumeLabel", app::VolumeLabel(s));
  if (s.fsKind == volume::kNtfs) {
    Line(out, "mftStartCluster", volume::MftStartCluster(s));
    Line(out, "mftRecordSize", s.mftRecordSize);
  } else {
    PrintFatFields(s, out);
  }
}

int RunInfo(const std::string& source, uint32_t partition, std::ostream& out, std::ostream& err) {
  ScanState state;
  std::string error;
  bool usage = false;
  if (!OpenSourceVolume(source, partition, state, error, &usage)) {
    err << "vellum-cli: " << error << '\n';
    return usage ? 2 : 1;
  }
  if (const std::string note = volume::TruncationNote(state, source); !note.empty())
    err << "vellum-cli: " << note << '\n';
  PrintGeometry(state, out);
  return 0;
}

}  // namespace vellum::cli
