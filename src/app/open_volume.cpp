#include "app/open_volume.h"

#include <cerrno>
#include <functional>
#include <vector>

#include "platform/codepage.h"
#include "volume/bios_disks.h"
#include "volume/bios_sectors.h"
#include "volume/boot_sector.h"
#include "volume/exfat_layout.h"
#include "volume/fat_layout.h"
#include "volume/le.h"
#include "volume/ntfs_layout.h"
#include "volume/unreadable_areas_device.h"
#include "volume/source.h"
#include "app/legacy_opening.h"
#include "app/source_check.h"
#include "app/volume_tables.h"
#include "volume/volume_extent.h"

namespace vellum::app {

using volume::ScanState;

namespace {

void Focus(const VolumeRequest& request, int id) {
  if (request.focus) request.focus(id);
}

void ShowError(Messages& messages, std::string_view text) {
  messages.Show(text, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
}

struct VolumeIdentity {
  bool readable = false;
  bool formatted = false;
  bool notReady = false;  // no disk in the drive
  uint32_t serial = 0;
  std::string label;
  std::string systemText;  // why it could not be read
};

std::string LabelAt(ByteView boot, ByteField label) {
  std::string raw;
  for (size_t i = 0; i < label.length; ++i) raw += static_cast<char>(Le8(boot, label.offset + i));
  while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\0')) raw.pop_back();
  std::string utf8;
  return platform::Cp932ToUtf8(raw, utf8) ? utf8 : std::string();
}

// The serial number and label a disk carries in its boot sector: what the
// system's volume query reports for the disk in the drive.
VolumeIdentity ReadVolumeIdentity(platform::BlockDevice& device) {
  VolumeIdentity id;
  std::vector<uint8_t> boot(512);
  id.readable = device.Read(0, boot);
  if (!id.readable) {
    id.systemText = device.LastError();
    return id;
  }
  switch (volume::RecognizeBootSector(boot)) {
    case volume::kFat12:
    case volume::kFat16:
      id.serial = Le(boot, fat_layout::kSerial16);
      id.label = LabelAt(boot, fat_layout::kLabel16);
      break;
    case volume::kFat32:
      id.serial = Le(boot, fat_layout::kSerial32);
      id.label = LabelAt(boot, fat_layout::kLabel32);
      break;
    case volume::kExfat: id.serial = Le(boot, exfat_layout::kVolumeSerial); break;
    case volume::kNtfs: id.serial = Le(boot, ntfs_layout::kVolumeSerial); break;
    default: return id;
  }
  id.formatted = true;
  return id;
}

bool NoDiskInDrive(int errorCode) {
#ifdef ENOMEDIUM
  return errorCode == ENOMEDIUM;
#else
  (void)errorCode;
  return false;
#endif
}

// A removable drive without a disk: where the system opens the drive and
// its volume query says it is not ready, this system refuses the opening.
// The user may insert a disk and try again.
bool RetryOpening(const ScanState& state, const volume::DriveEntry& entry, const volume::OpenedSource& opened,
                  Messages& messages) {
  if (entry.driveType != volume::kDriveRemovable || !NoDiskInDrive(opened.errorCode)) return false;
  const std::string text =
      state.rootPath + std::string(kNoAccessSuffix) + (opened.systemText.empty() ? opened.error : opened.systemText);
  return messages.Show(text, MessageButtons::RetryCancel, MessageIcon::Stop, MessageAnswer::Retry) ==
         MessageAnswer::Retry;
}

// Opens the selected entry's device or image read-only (or as asked) and
// reports a refusal with the system's text.
bool OpenSelectedDrive(ScanState& state, const volume::DriveEntry& entry, const VolumeRequest& request,
                       Messages& messages) {
  state.volumeHandle.reset();
  if (const std::string refusal = SourceRefusal(entry.sourcePath); !refusal.empty()) {
    ShowError(messages, refusal);
    return false;
  }
  volume::OpenedSource opened = volume::OpenSource(entry.sourcePath, entry.partitionNumber, request.access);
  while (!opened.device && RetryOpening(state, entry, opened, messages))
    opened = volume::OpenSource(entry.sourcePath, entry.partitionNumber, request.access);
  if (opened.device) {
    if (!request.unreadableAreas.empty()) {
      // The map speaks of the whole source; the volume is a window of it.
      std::vector<volume::ByteRange> areas = volume::AreasInWindow(request.unreadableAreas, entry.offset, entry.length);
      for (const volume::ByteRange& a : areas) volume::AddUnreadable(state.readDamage, a.first, a.end);
      opened.device = std::make_unique<volume::UnreadableAreasDevice>(std::move(opened.device), std::move(areas));
    }
    state.volumeHandle = request.wrapDevice ? request.wrapDevice(std::move(opened.device)) : std::move(opened.device);
    return true;
  }
  if (entry.driveType == volume::kDriveRemovable && NoDiskInDrive(opened.errorCode)) return false;  // cancelled
  std::string text = opened.systemText.empty() ? opened.error : opened.systemText;
  if (opened.errorCode == EACCES || opened.errorCode == EPERM) text += platform::PermissionHintForThisUser();
  ShowError(messages, text);
  return false;
}

// The legacy path's device: the chosen volume of the unit, read from now on
// through the BIOS.
void OpenLegacyDrive(ScanState& state, const LegacyVolume& volume, const VolumeRequest& request) {
  state.volumeHandle.reset();
  state.partitionStart = volume.start;
  AskBiosAboutUnit(state);
  state.volumeHandle = std::make_unique<volume::BiosPartitionDevice>(
      state, volume.start, volume.sectors, request.access == platform::OpenAccess::ReadWrite);
}

// The legacy path chose the file system with the volume; otherwise the boot
// sector tells.
bool KnowFsKind(ScanState& state) {
  if (state.isNt == 0) return state.fsKind != volume::kFsNone;
  return volume::DetectFsKind(state);
}

// Where the unformatted and the unreadable disk part: the system's query of
// a disk it cannot make out, and of one it cannot read.
bool QueryFailureRetried(const ScanState& state, const VolumeIdentity& id, Messages& messages) {
  const std::string noAccess = state.rootPath + std::string(kNoAccessSuffix);
  if (id.readable || id.notReady) {
    const std::string text = id.readable ? std::string(kUnformattedMessage) : noAccess + id.systemText;
    return messages.Show(text, MessageButtons::RetryCancel, MessageIcon::Stop, MessageAnswer::Retry) ==
           MessageAnswer::Retry;
  }
  // Retrying a read the disk refused would only be refused again; the
  // system's reason stays, since nothing else tells the user what happened.
  messages.Show(noAccess + id.systemText, MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
  return false;
}

bool CheckWith(ScanState& state, Messages& messages, const std::function<VolumeIdentity()>& query) {
  for (;;) {
    const VolumeIdentity id = query();
    if (!id.formatted) {
      if (!QueryFailureRetried(state, id, messages)) return false;
      continue;
    }
    if (state.savedSerial == 0 || state.operationMode != volume::kModeRestore) {
      state.savedSerial = id.serial;
      state.savedLabel = id.label;
      return true;
    }
    if (id.serial == state.savedSerial && id.label == state.savedLabel) return true;
    if (messages.Show(kOtherDiskMessage, MessageButtons::RetryCancel, MessageIcon::Stop, MessageAnswer::Retry) !=
        MessageAnswer::Retry)
      return false;
  }
}

// The system's own view of the drive, as its volume query has it.
VolumeIdentity QueryDrive(const volume::DriveEntry& entry) {
  volume::OpenedSource opened = volume::OpenSource(entry.sourcePath, entry.partitionNumber, platform::OpenAccess::ReadOnly);
  if (opened.device) return ReadVolumeIdentity(*opened.device);
  VolumeIdentity id;
  id.notReady = NoDiskInDrive(opened.errorCode);
  id.systemText = opened.systemText.empty() ? opened.error : opened.systemText;
  return id;
}

bool LoadTables(ScanState& state, ResultList& list, bool keepList, Messages& messages) {
  if (!keepList) list.SetClusterColumn(state.fsKind);
  const std::string why = LoadVolumeTables(state);
  if (why.empty()) {
    // A cut-off copy is still searched; the user hears by how much it is short.
    if (const std::string note = volume::TruncationNote(state, state.rootPath); !note.empty())
      messages.Show(note, MessageButtons::Ok, MessageIcon::Information, MessageAnswer::Ok);
    return true;
  }
  ShowError(messages, std::string(kDamagedVolumeMessage) + state.rootPath + ": " + why);
  return false;
}

// The result display and the counters of the last command, before a new
// volume is opened.
void ResetForOpening(ScanState& state, ResultList& list, bool keepList) {
  if (!keepList) {
    list.ShowFoundCount(0);
    list.RemoveVolumeColumns();
    if (list.RowCount() > 0) list.ClearRows();
  }
  state.foundCount = 0;
  state.rowCount = 0;
  state.truncatedStructures = 0;
  state.foldersTooDeep = 0;
  state.failedReads = 0;
  state.carvedSpans.clear();
  state.readDamage = {};
}

// The raw volume of the selected drive, a removable one checked for its disk.
bool OpenNtDrive(ScanState& state, const volume::DriveEntry& entry, const VolumeRequest& request, Messages& messages) {
  if (!OpenSelectedDrive(state, entry, request, messages)) return false;
  // The device's own sector size stands in for the system's free-space figure.
  const uint32_t sectorSize = state.volumeHandle->SectorSize();
  if (sectorSize >= 512 && sectorSize <= 32768) state.bytesPerSector = static_cast<uint16_t>(sectorSize);
  if (entry.driveType == volume::kDriveRemovable && !CheckRemovableVolume(state, messages)) return false;
  if (state.volumeHandle->Size() == 0) {
    ShowError(messages, kEmptyVolumeMessage);
    return false;
  }
  return true;
}

}  // namespace

uint32_t DriveVolumeSerial(const volume::DriveEntry& entry) {
  volume::OpenedSource opened = volume::OpenSource(entry.sourcePath, entry.partitionNumber, platform::OpenAccess::ReadOnly);
  if (!opened.device) return 0;
  const VolumeIdentity id = ReadVolumeIdentity(*opened.device);
  return id.formatted ? id.serial : 0;
}

bool CheckRemovableVolume(ScanState& state, Messages& messages) {
  return CheckWith(state, messages, [&state] { return ReadVolumeIdentity(*state.volumeHandle); });
}

bool CheckRemovableVolume(ScanState& state, const volume::DriveEntry& entry, Messages& messages) {
  return CheckWith(state, messages, [&entry] { return QueryDrive(entry); });
}

int OpenVolume(ScanState& state, const VolumeRequest& request, ResultList& list, Messages& messages) {
  const bool haveDrive = request.drives != nullptr && request.selectedIndex >= 0 &&
                         static_cast<size_t>(request.selectedIndex) < request.drives->entries.size();
  if (!haveDrive) {
    messages.Show(kSelectDriveMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    Focus(request, kDriveBoxId);
    return 0;
  }
  state.driveIndex = request.selectedIndex;
  // UTF-8 never hides '*' inside a multibyte character, so a plain search is safe.
  if (request.filterText.find('*') != std::string::npos) {
    messages.Show(kWildcardMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    Focus(request, kFileNameEditId);
    return 0;
  }
  const volume::DriveEntry& entry = request.drives->entries[static_cast<size_t>(request.selectedIndex)];
  state.rootPath = entry.rootText;
  state.bytesPerSector = 512;
  state.savedSerial = 0;

  LegacyVolume legacy;
  if (state.isNt == 0) {
    const LegacyChoice choice = ChooseLegacyVolume(state, entry, messages, legacy);
    if (choice == LegacyChoice::kEndProgram && request.endProgram) request.endProgram();
    if (choice != LegacyChoice::kChosen) return 0;
  }
  ResetForOpening(state, list, request.keepList);
  if (state.isNt == 0) OpenLegacyDrive(state, legacy, request);
  else if (!OpenNtDrive(state, entry, request, messages)) return 0;
  if (!KnowFsKind(state)) {
    // Not silent: a search that ends without a word leaves the user guessing.
    ShowError(messages, kUnsupportedDriveMessage);
    return 0;
  }
  return LoadTables(state, list, request.keepList, messages) ? 1 : 0;
}

void ResetListFor(ScanState& state, ResultList& list) {
  list.ShowFoundCount(0);
  if (list.RowCount() > 0) list.ClearRows();
  list.SetClusterColumn(state.fsKind);
  state.foundCount = 0;
  state.rowCount = 0;
}

}  // namespace vellum::app
