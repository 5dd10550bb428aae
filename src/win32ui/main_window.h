// The main window of vellum.exe (template 102): the drive box, the name
// filter and options, the result list and the commands, each handed to the
// application layer the command line and the Qt window share.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/drive_table_host.h"
#include "app/legacy_path.h"
#include "app/result_list.h"
#include "app/search_command.h"
#include "volume/drives.h"
#include "volume/scan_state.h"
#include "win32ui/control_layout.h"
#include "win32ui/elevation_offer.h"
#include "win32ui/result_list_view.h"
#include "app/map_file.h"
#include "win32ui/window_look.h"
#include "win32ui/window_messages.h"

namespace vellum::win32ui {

class MainWindow : private app::DriveTableResultsHost {
 public:
  MainWindow(HINSTANCE instance, volume::DriveTable drives, int32_t select, std::vector<std::string> errors);
  ~MainWindow();
  // The disks the legacy path takes as its units (--bios-disk), before Run;
  // none keeps the raw volumes.
  void TakeLegacyPath(std::vector<std::string> disks) { biosDisks_ = std::move(disks); }
  // Runs the window modally to its end: 0, or 1 when it ended at start-up
  // because the legacy path's layer is missing.
  INT_PTR Run();

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l);
  INT_PTR Handle(UINT message, WPARAM w, LPARAM l);
  void OnInitDialog();
  void FillDriveBox();
  // Binds the layer and makes the disks its units; false after the layer's
  // message.
  bool StartLegacyPath();
  // The drive box's selection change (CBN_SELCHANGE), and the same applied
  // at start-up and to an image opened from the menu.
  void OnDriveSelected();
  void SetInUseEnabled(bool enabled);
  // Once a command has changed the list: its columns fitted to their cells.
  void ShowNewRows();
  bool OnCommand(int id);
  // The picture buttons, the colours, the layout and moving the window by
  // its background; true when handled, with the procedure's result.
  bool HandleLook(UINT message, WPARAM w, LPARAM l, INT_PTR& result);
  void OnExit();
  void OpenManual();
  void AddDriveItem(const volume::DriveEntry& entry);
  // False when another command is running.
  bool RunCommand(int (*command)(app::CommandContext&));
  // The search, its offer of a thorough search, and the line under the list.
  void OnSearch();
  void OnFullScan();
  void OnThoroughAgain();
  void SetThorough(bool on);
  void ShowSearchOutcome();
  void ShowStatus(const char* text, bool offersThorough);
  void OnOpenImage();
  // "マップファイルを読み込む": the ddrescue mapfile of the selected image.
  void OnLoadMap();
  void OnRestore();
  // The rows a restore takes: one content row may have its size corrected
  // first (into `single`); false when the user cancelled.
  bool RestoreSource(std::vector<size_t>& rows, const app::ResultList*& source, app::ResultList& single);
  void ShowOpenDrive();
  app::CommandContext Context();
  std::string AskFolder();
  void OnLoadResults();

  // Saving and loading the list (ResultsFileHost).
  std::string AskSavePath(std::string_view initialName) override;
  std::string AskOpenPath(std::string_view initialName) override;
  std::string AskImagePath();
  bool SelectDrive(int32_t index) override;
  int OpenVolume() override;

  HINSTANCE instance_;
  HWND dialog_ = nullptr;
  volume::DriveTable drives_;
  int32_t select_;
  std::vector<std::string> errors_;
  volume::ScanState state_;
  app::ResultList list_;
  WindowMessages messages_;
  // What commands show: a device refused for lack of rights becomes the
  // offer to start again as administrator.
  ElevationOffer commandMessages_{messages_};
  std::unique_ptr<ShellInfo> shell_;
  std::unique_ptr<ResultListView> view_;
  WindowLook look_;
  ControlLayout layout_;
  HICON icon_ = nullptr;
  app::WindowMap map_;
  std::vector<std::string> biosDisks_;
  app::LegacyPath legacy_;  // bound only on the legacy path
  int32_t rowsDrive_ = -1;  // the drive the rows were found on or loaded for
  bool busy_ = false;
  bool thorough_ = false;  // the check mark of the menu's thorough search
};

}  // namespace vellum::win32ui
