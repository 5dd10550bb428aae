// The main window's controls and menu commands by id, as its template
// numbers them; the Qt window and the Win32 one use the same.
#pragma once

namespace vellum::app {
inline namespace main_control_ids {

inline constexpr int kMainDialogId = 102;
inline constexpr int kMainMenuId = 132;

enum MainControlId : int {
  kListId = 1000,
  kSearchButtonId = 1002,
  kRestoreButtonId = 1003,
  kFullScanButtonId = 1004,
  kDriveBoxControlId = 1005,
  kExitButtonId = 1006,
  kFilterEditId = 1007,
  kZeroSizeCheckId = 1008,
  kInUseCheckId = 1009,
  kFoundCountId = 1010,
  kClearingNoticeId = 1011,
  kDeleteButtonId = 1012,
  kInUseLine1Id = 1013,
  kInUseLine2Id = 1014,
  kDriveLabelId = 1016,
  kFilterLabelId = 1017,
  kZeroSizeLine2Id = 1019,
  kCountLabelId = 1020,
  kZeroSizeLine1Id = 1021,
  kLogoId = 1022,
  kAnalyseCheckId = 1023,
  kAnalyseLabelId = 1024,
  // Ours: the line under the list after a search, and its offer.
  kStatusTextId = 1031,
  kStatusActionId = 1032,
};

// The file-size dialog of a content row's restore.
inline constexpr int kFileSizeDialogId = 137;
inline constexpr int kFileSizeEditId = 1025;

enum MainCommandId : int {
  kFullScanCommand = 32771,
  kDeleteCommand = 32772,
  kMakerPageCommand = 32774,
  kSaveResultsCommand = 32775,
  kLoadResultsCommand = 32776,
  kOpenImageCommand = 32777,  // ours: disk images join the drive box
  kThoroughCommand = 32778,   // ours: the thorough search, a check mark
  kBiosDiskCommand = 32779,   // ours: a whole disk as the next unit of the disk BIOS (the legacy path)
  kLoadMapCommand = 32780,    // ours: a ddrescue mapfile for the selected image
};

}  // namespace main_control_ids
}  // namespace vellum::app
