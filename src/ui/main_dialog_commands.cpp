// What the main window's buttons and menu commands do. Each reads the
// options from the controls first, then hands over to the application layer.
#include <filesystem>
#include <optional>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/content_checks.h"
#include "app/map_file.h"
#include "app/read_damage_notes.h"
#include "app/row_state.h"
#include "app/same_content.h"
#include "app/drive_selection.h"
#include "app/drive_summary.h"
#include "app/open_volume.h"
#include "app/parse_number.h"
#include "app/restore_command.h"
#include "app/row_item.h"
#include "app/search_command.h"
#include "app/search_outcome.h"
#include "app/wipe_command.h"
#include "app/write_guard.h"
#include "platform/source_set.h"
#include "ui/main_dialog.h"

#include "ui/cluster_dlg.h"
#include "ui/cursor_scope.h"
#include "ui/file_size_dialog.h"
#include "ui/main_widgets.h"
#include "ui/path_asker.h"
#include "ui/result_table.h"
#include "ui/result_table_model.h"
#include "ui/text.h"

namespace vellum::ui {

namespace {

bool IsChecked(QWidget* box) { return static_cast<QCheckBox*>(box)->isChecked(); }

// Marks a command as running for as long as it is in scope.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

}  // namespace

void MainDialog::UpdateData() {
  filter_ = filterEdit_->text();
  inUse_ = IsChecked(Control(kInUseCheckId)) ? 1 : 0;
  zeroSize_ = IsChecked(Control(kZeroSizeCheckId)) ? 1 : 0;
  analyse_ = IsChecked(Control(kAnalyseCheckId)) ? 1 : 0;
}

app::VolumeRequest MainDialog::VolumeRequestFromWindow() {
  app::VolumeRequest request;
  request.drives = &drives_;
  request.selectedIndex = driveBox_->currentIndex();
  request.filterText = ToUtf8(filter_);
  request.focus = [this](int id) { FocusControl(id); };
  // After the command's handler has returned, as the close box would.
  request.endProgram = [this] { QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection); };
  const int index = request.selectedIndex;
  if (index >= 0 && static_cast<size_t>(index) < drives_.entries.size() &&
      drives_.entries[static_cast<size_t>(index)].sourcePath == mapSource_)
    request.unreadableAreas = mapAreas_;
  return request;
}

void MainDialog::FocusControl(int id) {
  QWidget* control = Control(id);
  if (!control) return;
  control->setFocus();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
}

void MainDialog::RunWithRangeDialog(int (*command)(app::CommandContext&), bool waitCursor) {
  if (busy_) return;
  BusyScope busy(busy_);
  std::optional<WaitCursor> wait;
  if (waitCursor) wait.emplace();
  UpdateData();
  app::CommandContext context = WindowContext();
  CClusterDlg rangeDialog(*messages_, this);
  context.rangeAsker = &rangeDialog;
  const uint64_t before = list_.Revision();
  command(context);
  model_->FlushRows();
  // A question answered No or a range cancelled left the list as it was,
  // the rows of the volume they were found on.
  if (list_.Revision() == before) return;
  rowsDrive_ = state_.driveIndex;
  ShowNewRows();
  // Told from the tables of the volume still open, before anything else reads it.
  if (state_.fsKind != volume::kFsNone) ShowRowNotes();
  ShowSearchOutcome();
}

void MainDialog::ShowRowNotes() {
  if (list_.RowCount() == 0) return;
  model_->SetRowStates(app::RowStates(state_, list_));
  model_->SetSameContentRows(app::SameContentRows(state_, list_));
  model_->SetContentChecks(app::ContentChecks(state_, list_));
  model_->SetBinNotes(app::RecycleBinNotes(state_, list_));
}

void MainDialog::ShowSelectionCount() {
  const size_t selected = list_.SelectedRows().size();
  status_->ShowSelection(selected == 0 ? QString()
                                       : QStringLiteral("%1 件を選択 (%2 件中)").arg(selected).arg(list_.RowCount()));
}

void MainDialog::ShowNewRows() {
  model_->FlushRows();
  table_->FitColumnsToContents();
  ShowSelectionCount();
}

// The drive named is the one the list's rows were found on or loaded for,
// not whatever a command last tried: an opening that failed, or a question
// answered No, leaves the list and its drive.
void MainDialog::ShowOpenDrive() {
  QString title = QString::fromUtf8(kMainCaption);
  const int32_t index = rowsDrive_;
  if (index >= 0 && static_cast<size_t>(index) < drives_.entries.size()) {
    const volume::DriveEntry& drive = drives_.entries[static_cast<size_t>(index)];
    title += QStringLiteral(" — ") + FromUtf8(drive.rootText);
    if (drive.sourcePath != drive.rootText) title += QStringLiteral(" (") + FromUtf8(drive.sourcePath) + ')';
  }
  setWindowTitle(title);
}

// The list alone does not say that a scan stopped early, or that an exFAT
// search left the live folders out.
void MainDialog::ShowSearchOutcome() {
  ShowOpenDrive();
  const app::StatusLine line = app::StatusAfterSearch(state_, thorough_ != 0);
  // What bad sectors hid comes first: the list alone cannot say it.
  const std::vector<std::string> damage = app::ReadDamageNotes(state_);
  std::string said;
  for (const std::string& note : damage) said += (said.empty() ? "" : " ") + note;
  if (!said.empty() && !line.offersThorough)
    status_->Show(QString::fromUtf8(said + (line.text ? std::string(" ") + line.text : std::string())));
  else if (!line.text)
    status_->Clear();
  else
    status_->Show(QString::fromUtf8(line.text),
                  line.offersThorough ? QString::fromUtf8(kThoroughAgainAction) : QString());
}

void MainDialog::OnThoroughAgain() {
  if (busy_) return;
  Command(kThoroughCommand)->setChecked(true);
  RunWithRangeDialog(app::OnSearch, true);
}

// The search shows the wait cursor to its end; the full scan does not, its
// progress window says enough.
void MainDialog::OnSearch() {
  RunWithRangeDialog(app::OnSearch, true);
  // An exFAT card keeps its files in live folders, which the plain walk never
  // enters: when it found nothing, offer the search that does.
  if (!app::OffersThoroughSearch(state_, thorough_ != 0)) return;
  if (messages_->Show(kOfferThoroughQuestion, MessageButtons::YesNo, MessageIcon::None, MessageAnswer::No) !=
      MessageAnswer::Yes)
    return;
  Command(kThoroughCommand)->setChecked(true);
  RunWithRangeDialog(app::OnSearch, true);
}

void MainDialog::OnFullScan() { RunWithRangeDialog(app::OnFullClusterScan, false); }

void MainDialog::OnRestore() {
  if (busy_) return;
  BusyScope busy(busy_);
  UpdateData();
  std::vector<size_t> rows = list_.SelectedRows();
  if (rows.empty()) {
    messages_->Show(kSelectRowsMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    return;
  }
  const std::string destination = paths_->AskFolderPath();
  if (destination.empty()) return;
  app::ResultList single;
  const app::ResultList* source = &list_;
  if (app::AsksContentSize(list_, rows)) {
    uint64_t size = app::ParseUnsigned64(list_.Cell(rows[0], 2));
    FileSizeDialog sizeDialog(this);
    if (!sizeDialog.RunFileSizeDialog(size)) return;
    single = app::RowWithSize(list_, rows[0], size);
    source = &single;
    rows = {0};
  }
  app::CommandContext context = WindowContext();
  // The rows belong to the volume they were found on or loaded for, whatever
  // the drive box shows now: their clusters are read from that volume alone.
  if (rowsDrive_ >= 0 && static_cast<size_t>(rowsDrive_) < drives_.entries.size()) {
    context.volume.selectedIndex = rowsDrive_;
    const QSignalBlocker quiet(driveBox_);
    driveBox_->setCurrentIndex(rowsDrive_);
  }
  app::RestoreSummary summary;
  app::RestoreRequest request{destination, source, rows, 0};
  request.askAboutForeignRows = true;  // rows of another volume: asked, No by default
  request.askAboutOriginalNames = true;  // rows of the emptied Recycle Bin: asked, No by default
  const int restored = app::OnRestore(context, request, summary);
  ShowOpenDrive();
  if (restored == 1)
    messages_->Show(app::SummaryText(summary, 20), MessageButtons::Ok,
                    summary.outcomes.AllIntact() ? MessageIcon::Information : MessageIcon::Warning, MessageAnswer::Ok);
}

void MainDialog::OnCompleteDeletion() {
  if (busy_) return;
  BusyScope busy(busy_);
  UpdateData();
  app::CommandContext context = WindowContext();
  const uint64_t before = list_.Revision();
  app::OnCompleteDeletion(context);
  model_->FlushRows();
  // The list of the wiped volume was searched again: shown as after a search.
  if (list_.Revision() != before) {
    rowsDrive_ = state_.driveIndex;
    ShowNewRows();
    if (state_.fsKind != volume::kFsNone) ShowRowNotes();
    ShowSearchOutcome();
    return;
  }
  ShowOpenDrive();
}

app::CommandContext MainDialog::WindowContext() {
  app::CommandContext context(state_, list_, privileges_);
  context.volume = VolumeRequestFromWindow();
  context.options.filter = ToUtf8(filter_);
  context.options.inUse = inUse_ != 0;
  context.options.zeroSize = zeroSize_ != 0;
  context.options.analyse = analyse_ != 0;
  context.options.thorough = thorough_ != 0;
  context.newProgress = newProgress_;
  return context;
}

void MainDialog::OnSaveResults() {
  if (busy_) return;
  BusyScope busy(busy_);
  app::SaveResults(list_, state_.driveIndex, *this, *messages_);
}

void MainDialog::OnLoadResults() {
  if (busy_) return;
  BusyScope busy(busy_);
  UpdateData();
  loadOpenedVolume_ = false;
  const uint64_t before = list_.Revision();
  app::LoadResults(list_, *this, *messages_, &shell_);
  model_->FlushRows();
  if (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
  if (list_.Revision() == before) return;  // nothing loaded: the list stays the one shown
  rowsDrive_ = state_.driveIndex;
  ShowNewRows();
  // The volume the list names was opened for it: the rows' states come from
  // its tables, as after a search. A list that cannot be of it (another
  // file system, clusters past its end) gets none.
  if (loadOpenedVolume_ && app::ListMismatch(state_, list_).empty()) ShowRowNotes();
  ShowOpenDrive();
  status_->Clear();
}

void MainDialog::OnExit() {
  const MessageAnswer answer = messages_->Show(kExitQuestion, MessageButtons::YesNo,
                                               MessageIcon::Question, MessageAnswer::Yes);
  if (answer == MessageAnswer::Yes) openUrl_(ManualUrl());
  QDialog::reject();
}

// There is no web site: the program's own guide stands in for both pages.
void MainDialog::OnMakerPage() { openUrl_(ManualUrl()); }

QUrl MainDialog::ManualUrl() const {
  const QDir bin(QCoreApplication::applicationDirPath());
  const QStringList candidates{
      bin.filePath(QStringLiteral("../share/doc/vellum/manual.html")),
#ifdef VELLUM_SOURCE_MANUAL
      QStringLiteral(VELLUM_SOURCE_MANUAL),  // running from a build tree
#endif
  };
  for (const QString& path : candidates)
    if (QFileInfo::exists(path)) return QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath());
  return QUrl::fromLocalFile(candidates.front());
}

void MainDialog::OnDriveSelected() {
  switch (app::InUseOptionOnSelection(state_, drives_, driveBox_->currentIndex())) {
    case volume::InUseOption::Enable: SetInUseEnabled(true); break;
    case volume::InUseOption::Disable: SetInUseEnabled(false); break;
    case volume::InUseOption::Keep: break;
  }
}

void MainDialog::SetInUseEnabled(bool enabled) {
  for (const int id : {kInUseCheckId, kInUseLine1Id, kInUseLine2Id}) Control(id)->setEnabled(enabled);
}

void MainDialog::OnOpenImage() {
  if (busy_) return;
  const std::string path = paths_->AskImagePath();
  if (path.empty()) return;
  const int index = AddImage(path);
  if (index >= 0) driveBox_->setCurrentIndex(index);
}

void MainDialog::OnLoadMap() {
  if (busy_) return;
  const int index = driveBox_->currentIndex();
  if (index < 0 || static_cast<size_t>(index) >= drives_.entries.size()) return;
  const std::string source = drives_.entries[static_cast<size_t>(index)].sourcePath;
  const std::string path = paths_->AskOpenPath(std::filesystem::path(source).filename().string() + ".map");
  if (path.empty()) return;
  std::vector<volume::ByteRange> areas;
  std::string error;
  if (!app::ReadMapFile(path, source, areas, error)) {
    messages_->Show(error, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    return;
  }
  mapSource_ = source;
  mapAreas_ = std::move(areas);
  status_->Show(QString::fromUtf8(app::MapSummaryText(mapAreas_)), QString());
}

bool MainDialog::StartLegacyPath(const std::vector<std::string>& disks) {
  if (!app::BindLegacyPath(legacy_, QCoreApplication::applicationDirPath().toStdString(), *messages_)) return false;
  AddBiosUnits(disks);
  return true;
}

void MainDialog::OnAddBiosDisk() {
  if (busy_) return;
  const std::string path = paths_->AskImagePath();
  if (path.empty()) return;
  if (!legacy_.bios && !app::BindLegacyPath(legacy_, QCoreApplication::applicationDirPath().toStdString(), *messages_))
    return;
  bool listed = false;
  for (const volume::DriveEntry& entry : drives_.entries) listed = listed || entry.sourcePath == path;
  const int index = listed ? -1 : AddImage(path);
  AddBiosUnits({path});
  if (index >= 0) driveBox_->setCurrentIndex(index);
}

int MainDialog::AddImage(const std::string& path) {
  std::string error;
  const int first = app::AppendImageEntries(drives_, path, error);
  if (first < 0) {
    messages_->Show(error, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
    return -1;
  }
  // On the legacy path a drive is read through the BIOS unit it is paired with.
  if (state_.isNt == 0 && legacy_.bios) volume::PairLegacyDrives(drives_, legacy_.tables, app::DriveVolumeSerial);
  for (size_t i = static_cast<size_t>(first); i < drives_.entries.size(); ++i) AddDriveItem(drives_.entries[i]);
  driveBox_->FitEntries();
  return first;
}

void MainDialog::ShowClearingNotice(bool shown) {
  QWidget* notice = Control(kClearingNoticeId);
  notice->setVisible(shown);
  if (shown) {
    notice->raise();
    repaint();  // now: the deletion that follows keeps the event loop waiting
  } else {
    update();
  }
}

std::string MainDialog::AskSavePath(std::string_view initialName) {
  return paths_->AskSavePath(initialName);
}

std::string MainDialog::AskOpenPath(std::string_view initialName) {
  std::string path = paths_->AskOpenPath(initialName);
  // From here to the end of the load.
  if (!path.empty()) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  return path;
}

platform::SourceRelation MainDialog::RelationToSource(const std::string& path) {
  const int32_t index = state_.driveIndex;
  if (index < 0 || static_cast<size_t>(index) >= drives_.entries.size()) return platform::SourceRelation::kUnrelated;
  return platform::SourceSet(app::SourcePartsOf(drives_.entries[static_cast<size_t>(index)], &state_)).Relation(path);
}

std::string MainDialog::SourceName() {
  const int32_t index = state_.driveIndex;
  if (index < 0 || static_cast<size_t>(index) >= drives_.entries.size()) return {};
  return drives_.entries[static_cast<size_t>(index)].sourcePath;
}

std::string MainDialog::DriveRootText(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= drives_.entries.size()) return {};
  return drives_.entries[static_cast<size_t>(index)].rootText;
}

int32_t MainDialog::FindDrive(std::string_view rootText) {
  for (const volume::DriveEntry& e : drives_.entries)
    if (e.rootText == rootText) return e.index;
  return -1;
}

int32_t MainDialog::OpenImageFor(std::string_view rootText, const std::string& listPath) {
  const std::string question = std::string(app::kOpenImageQuestion) + "\n\n" + std::string(rootText);
  if (messages_->Show(question, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) !=
      MessageAnswer::Yes)
    return -1;
  // "card.img#2:/" names the image card.img.
  std::string name(rootText.substr(0, rootText.size() - 2));
  if (const size_t hash = name.rfind('#'); hash != std::string::npos) name.erase(hash);
  const std::string folder = std::filesystem::path(listPath).parent_path().string();
  const std::string path = paths_->AskImagePathFor(folder, name);
  if (path.empty() || AddImage(path) < 0) return -1;
  return FindDrive(rootText);
}

bool MainDialog::SelectDrive(int32_t index) {
  if (index < 0 || index >= driveBox_->count()) return false;
  const QSignalBlocker quiet(driveBox_);  // a load does not re-check the in-use option
  driveBox_->setCurrentIndex(index);
  return true;
}

int MainDialog::OpenVolume() {
  const int opened = app::OpenVolume(state_, VolumeRequestFromWindow(), list_, privileges_);
  loadOpenedVolume_ = opened == 1;
  return opened;
}

}  // namespace vellum::ui
