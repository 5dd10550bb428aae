// Opening the selected drive for a command: the user's input is checked, the
// volume opened and recognised, the result list reset for it, and the
// per-volume tables loaded into the scan state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/result_list.h"
#include "platform/device_open.h"
#include "volume/drives.h"
#include "volume/scan_state.h"
#include "volume/seams.h"

namespace vellum::app {

inline constexpr int kDriveBoxId = 1005;
inline constexpr int kFileNameEditId = 1007;

inline constexpr std::string_view kSelectDriveMessage = "ドライブを選択してください。";
inline constexpr std::string_view kWildcardMessage =
    "ワイルドカード '*' は使えません。\n拡張子などで検索したいときは、'.TXT' のように入力してください。";
inline constexpr std::string_view kUnsupportedDriveMessage =
    "FAT12、FAT16、FAT32、exFAT、NTFS 以外のドライブは検索できません。";
// A source of 0 bytes: nothing on it could be a volume.
inline constexpr std::string_view kEmptyVolumeMessage = "空のため読み取れません。";
// Added to the system's text when it refuses to open a device for lack of rights.
inline constexpr std::string_view kPermissionHint = platform::kPermissionHint;
inline constexpr std::string_view kDamagedVolumeMessage =
    "ファイルシステムの情報が壊れているため、このドライブは検索できません。\n\n";
inline constexpr std::string_view kNoAccessSuffix = " にアクセスできません\n\n";
inline constexpr std::string_view kUnformattedMessage =
    "装着されたディスクはフォーマットされていないかまたは壊れています。\n\n"
    "正常にフォーマットされたディスクを挿入してください。";
inline constexpr std::string_view kOtherDiskMessage =
    "現在装着されているディスクは、検索時に装着されていたディスクと違います。\n\n"
    "検索からやり直すことをお勧めします。";

// What an opening needs from the main window.
struct VolumeRequest {
  const volume::DriveTable* drives = nullptr;
  int32_t selectedIndex = -1;
  std::string filterText;
  platform::OpenAccess access = platform::OpenAccess::ReadOnly;
  std::function<void(int controlId)> focus;  // may be empty
  // Puts a layer over the opened device (tests: a device that fails). May be empty.
  std::function<std::unique_ptr<platform::BlockDevice>(std::unique_ptr<platform::BlockDevice>)> wrapDevice;
  // The areas of the source a ddrescue map marks as not rescued, in the
  // source's byte offsets (sorted and apart): read as a failing disk's.
  std::vector<volume::ByteRange> unreadableAreas;
  // The list is left as it is (rows, columns, counter): a command that
  // still asks before it lists resets it with ResetListFor once it goes on.
  bool keepList = false;
  // Ends the program (the main window closes) after a failure the opening
  // reports as fatal. May be empty.
  std::function<void()> endProgram;
};

// The list made ready for the rows of the volume open in `state`: emptied,
// "0" under "ファイル数", column 5 for its file system.
void ResetListFor(volume::ScanState& state, ResultList& list);

// 1 when the volume is open and its tables loaded; 0 after the failure was
// reported through `messages`.
int OpenVolume(volume::ScanState& state, const VolumeRequest& request, ResultList& list,
               Messages& messages);

// The volume serial number in the boot sector of the drive's volume, read
// through the system (0 when it cannot be read): what the legacy path pairs
// fixed drives with BIOS partitions by.
uint32_t DriveVolumeSerial(const volume::DriveEntry& entry);

// The removable-disk check: records the disk's serial number and label, or
// in restore mode insists on the disk the search was made on. No disk in
// the drive and an unformatted disk may be retried; a disk that cannot be
// read gives up at once. This one asks the open volume.
bool CheckRemovableVolume(volume::ScanState& state, Messages& messages);
// The same, asking the system about the drive itself (the legacy path, whose
// volume is not open yet and is read through the BIOS once it is).
bool CheckRemovableVolume(volume::ScanState& state, const volume::DriveEntry& entry, Messages& messages);

}  // namespace vellum::app
