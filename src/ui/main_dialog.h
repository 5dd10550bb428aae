// The program's only top-level window (template 102): the drive box, the
// name filter, the three listing options, the result list, the found-file
// counter, the picture buttons, the logo and the menu "その他の処理(&O)".
// Every command runs to its end inside its handler, on this thread.
#pragma once

#include <QDialog>
#include <QHash>
#include <QUrl>
#include <functional>
#include <memory>

#include "app/legacy_path.h"
#include "app/result_list.h"
#include "app/open_volume.h"
#include "app/search_command.h"
#include "app/results_file.h"
#include "app/window_texts.h"
#include "platform/qt/shell_info_qt.h"
#include "ui/control_ids.h"
#include "ui/control_layout.h"
#include "ui/dialog_units.h"
#include "ui/path_asker.h"
#include "ui/privilege_offer.h"
#include "ui/qt_messages.h"
#include "volume/drives.h"
#include "volume/scan_state.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;

namespace vellum::ui {

class DriveBox;
class PictureButton;
class StatusLine;
class ResultTable;
class ResultTableModel;

using app::kExitQuestion;
using app::kLiveFoldersStatus;
using app::kMainCaption;
using app::kOfferThoroughQuestion;
using app::kScanCancelledStatus;
using app::kSelectRowsMessage;
using app::kThoroughAgainAction;

class MainDialog : public QDialog, private app::ResultsFileHost {
  Q_OBJECT

 public:
  // `drives` fills the drive box; `selectIndex` is the entry selected at
  // start (the table's default when -1).
  explicit MainDialog(volume::DriveTable drives, int32_t selectIndex = -1);
  ~MainDialog() override;

  // Seams: message boxes, file dialogs, the browser and the progress window
  // can be replaced (tests answer them from a script). Not owned.
  void SetMessages(Messages* messages);
  void SetPathAsker(PathAsker* paths);
  void SetUrlOpener(std::function<void(const QUrl&)> open) { openUrl_ = std::move(open); }
  void SetProgressFactory(std::function<std::unique_ptr<Progress>()> make) {
    newProgress_ = std::move(make);
  }
  // The offer to start again with root's rights, and the start it would make.
  PrivilegeOffer& Privileges() { return privileges_; }

  // The commands.
  void OnSearch();
  void OnSaveResults();
  void OnLoadResults();
  void OnExit();
  void OnMakerPage();
  void OnDriveSelected();
  void OnOpenImage();
  // "マップファイルを読み込む": a ddrescue mapfile for the selected image; its
  // areas not rescued are read as bad sectors until another map replaces it.
  void OnLoadMap();
  void OnFullScan();
  void OnRestore();
  void OnCompleteDeletion();
  // The status line's offer after an exFAT search: the same search again,
  // thorough.
  void OnThoroughAgain();
  // The legacy path: a whole disk the user picks becomes the next BIOS unit,
  // and from then on every drive is read through the disk BIOS.
  void OnAddBiosDisk();
  // Start-up on the legacy path: binds the disk BIOS layer (false after its
  // message: the program ends) and takes `disks` as its units.
  bool StartLegacyPath(const std::vector<std::string>& disks);
  // Appends an image's drive-box entries (one per partition); the index of
  // the first, or -1 after saying why the image cannot be listed.
  int AddImage(const std::string& path);

  QWidget* Control(int id) const { return controls_.value(id, nullptr); }
  QAction* Command(int id) const { return commands_.value(id, nullptr); }
  DialogBaseUnits BaseUnits() const { return base_; }
  app::ResultList& List() { return list_; }
  ResultTableModel& Model() { return *model_; }
  ResultTable& Table() { return *table_; }
  volume::ScanState& State() { return state_; }
  const volume::DriveTable& Drives() const { return drives_; }

 public slots:
  // Esc and the close box end the program, unless a walk is running; rows
  // not saved are asked about first.
  void reject() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A command's context from the window: drive box, filter, check boxes,
  // message boxes and progress windows.
  app::CommandContext WindowContext();
  // Runs a command that asks for a cluster range (the search, the full scan).
  void RunWithRangeDialog(int (*command)(app::CommandContext&), bool waitCursor);
  // Building, in main_dialog_controls.cpp.
  void BuildControls();
  void BuildMenu(QMenuBar* menuBar);
  void AddLabel(int id, const QRect& dlu, const QString& text, Qt::Alignment align);
  void AddCheckBox(int id, const QRect& dlu, const QString& text);
  void AddPictureButton(int id, const QRect& dlu, const QString& bitmap, const QString& text);
  void AddHiddenButton(int id, const QRect& dlu, const QString& text);
  void AddMenuCommand(QMenu* menu, int id, const QString& text, void (MainDialog::*handler)());
  void Place(QWidget* widget, int id, const QRect& dlu);
  void SetAnchors();
  void FillDriveBox(int32_t selectIndex);
  void AddDriveItem(const volume::DriveEntry& entry);
  // Adds units to the disk BIOS, saying why a disk cannot be one, and pairs
  // the drive box's drives with their partitions.
  void AddBiosUnits(const std::vector<std::string>& disks);

  // Options and commands, in main_dialog_commands.cpp.
  void UpdateData();
  app::VolumeRequest VolumeRequestFromWindow();
  void FocusControl(int id);
  void SetInUseEnabled(bool enabled);
  void ShowClearingNotice(bool shown);
  // The title names the drive or image open, after the program's own.
  void ShowOpenDrive();
  // The status line's count of the rows selected.
  void ShowSelectionCount();
  // After a command gave the list new rows: the columns fitted to them.
  void ShowNewRows();
  // The title, and the status line after a search or scan.
  void ShowSearchOutcome();
  // Each row's state and repeated content, told from the tables of the
  // volume open now, which must be the one the rows belong to.
  void ShowRowNotes();
  QUrl ManualUrl() const;

  // ResultsFileHost.
  std::string AskSavePath(std::string_view initialName) override;
  std::string AskOpenPath(std::string_view initialName) override;
  platform::SourceRelation RelationToSource(const std::string& path) override;
  std::string SourceName() override;
  bool SelectDrive(int32_t index) override;
  bool KnowsRootTexts() override { return true; }
  std::string DriveRootText(int32_t index) override;
  int32_t FindDrive(std::string_view rootText) override;
  int32_t OpenImageFor(std::string_view rootText, const std::string& listPath) override;
  int OpenVolume() override;

  // The option fields, read from the controls at the start of each command.
  QString filter_;
  int inUse_ = 0;
  int zeroSize_ = 0;
  int analyse_ = 1;
  int thorough_ = 0;  // the check mark of the menu's thorough search

  volume::ScanState state_;
  app::LegacyPath legacy_;  // bound only on the legacy path
  // The loaded mapfile's areas not rescued, and the source they are of.
  std::string mapSource_;
  std::vector<volume::ByteRange> mapAreas_;
  app::ResultList list_;
  platform::QtShellInfo shell_;
  volume::DriveTable drives_;
  QtMessages qtMessages_;
  QtPathAsker qtPaths_;
  Messages* messages_ = &qtMessages_;
  // Every command's messages pass through here, so that a device refused
  // for lack of rights can be offered a restart whichever command opened it.
  PrivilegeOffer privileges_{messages_};
  PathAsker* paths_ = &qtPaths_;
  std::function<void(const QUrl&)> openUrl_;
  std::function<std::unique_ptr<Progress>()> newProgress_;

  DialogBaseUnits base_;
  QWidget* client_ = nullptr;
  DriveBox* driveBox_ = nullptr;
  StatusLine* status_ = nullptr;
  QLineEdit* filterEdit_ = nullptr;
  ResultTableModel* model_ = nullptr;
  ResultTable* table_ = nullptr;
  QHash<int, QWidget*> controls_;
  QHash<int, QAction*> commands_;
  ControlLayout layout_;
  bool busy_ = false;  // a command is running; the window is not to close under it
  // The drive the listed rows were found on or loaded for; -1 before any.
  int32_t rowsDrive_ = -1;
  // A list being loaded opened the volume it names.
  bool loadOpenedVolume_ = false;
};

}  // namespace vellum::ui
