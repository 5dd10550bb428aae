#include "win32ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include "app/main_control_ids.h"
#include "app/restore_command.h"
#include "app/wipe_command.h"
#include "app/window_close.h"
#include "app/window_texts.h"
#include "platform/shell_info.h"
#include "platform/win32/wide.h"
#include "win32ui/cluster_range_dialog.h"
#include "win32ui/progress_window.h"

namespace vellum::win32ui {

using namespace app::main_control_ids;
using platform::win32::Utf8;
using platform::win32::Wide;

namespace {

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

std::string ControlText(HWND dialog, int id) {
  const HWND control = GetDlgItem(dialog, id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return Utf8(text);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, volume::DriveTable drives, int32_t select, std::vector<std::string> errors)
    : DriveTableResultsHost(drives_, state_), instance_(instance), drives_(std::move(drives)), select_(select), errors_(std::move(errors)),
      shell_(platform::MakeSystemShellInfo()), look_(instance) {
  state_.shell = shell_.get();
}

MainWindow::~MainWindow() { list_.SetObserver(nullptr); }

INT_PTR MainWindow::Run() {
  if (!look_.Loaded()) return -1;
  return DialogBoxParamW(instance_, MAKEINTRESOURCEW(kMainDialogId), nullptr, &Procedure,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainWindow::Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, l);
    auto* self = reinterpret_cast<MainWindow*>(l);
    self->dialog_ = dialog;
    self->OnInitDialog();
    return TRUE;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
  return self ? self->Handle(message, w, l) : FALSE;
}

void MainWindow::OnInitDialog() {
  messages_.SetOwner(dialog_);
  commandMessages_.SetOwner(dialog_);
  icon_ = LoadIconW(instance_, MAKEINTRESOURCEW(128));
  SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  ShowOpenDrive();
  look_.Attach(dialog_);
  layout_.Record(dialog_);
  view_ = std::make_unique<ResultListView>(dialog_, list_);
  list_.CreateStartupColumns();
  CheckDlgButton(dialog_, kAnalyseCheckId, BST_CHECKED);
  // The legacy path pairs the drives with the disks' partitions before the
  // drive box shows them; without its layer the program ends here.
  if (!biosDisks_.empty() && !StartLegacyPath()) {
    EndDialog(dialog_, 1);
    return;
  }
  FillDriveBox();
  OnDriveSelected();
  for (const std::string& error : errors_)
    messages_.Show(error, MessageButtons::Ok, MessageIcon::Warning, MessageAnswer::Ok);
}

INT_PTR MainWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  if (INT_PTR result = 0; HandleLook(message, w, l, result)) return result;
  switch (message) {
    case WM_COMMAND:
      // The logo reports its clicks, and nothing else of its own.
      if (LOWORD(w) == kLogoId && HIWORD(w) != STN_CLICKED) return TRUE;
      if (LOWORD(w) == kDriveBoxControlId) {
        if (HIWORD(w) == CBN_SELCHANGE) OnDriveSelected();
        return TRUE;
      }
      return OnCommand(LOWORD(w)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(l);
      LRESULT result = 0;
      if (header->idFrom != static_cast<UINT_PTR>(kListId) || !view_ || !view_->OnNotify(*header, result))
        return FALSE;
      SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_TIMER:
      if (w != ResultListView::kRowsTimerId || !view_) return FALSE;
      view_->FlushRows();
      return TRUE;
    case kRestartedMessage:
      // The elevated program is up; this one ends once its command has.
      if (busy_) PostMessageW(dialog_, kRestartedMessage, 0, 0);
      else EndDialog(dialog_, 0);
      return TRUE;
    default: return FALSE;
  }
}

bool MainWindow::OnCommand(int id) {
  switch (id) {
    case IDOK:
    case kSearchButtonId: OnSearch(); return true;
    case kFullScanCommand:
    case kFullScanButtonId: OnFullScan(); return true;
    case kThoroughCommand: SetThorough(!thorough_); return true;
    case kStatusActionId: OnThoroughAgain(); return true;
    case kOpenImageCommand: OnOpenImage(); return true;
    case kLoadMapCommand: OnLoadMap(); return true;
    case kRestoreButtonId: OnRestore(); return true;
    case kSaveResultsCommand:
      if (!busy_) app::SaveResults(list_, state_.driveIndex, *this, messages_);
      return true;
    case kLoadResultsCommand: OnLoadResults(); return true;
    case kDeleteCommand:
    case kDeleteButtonId: RunCommand([](app::CommandContext& c) { return app::OnCompleteDeletion(c); }); return true;
    case kExitButtonId:
      if (!busy_) OnExit();
      return true;
    case kMakerPageCommand:
    case kLogoId: OpenManual(); return true;
    case IDCANCEL:
      // Esc and the close box end the window, asking first about rows not
      // saved; a walk in progress is stopped through its own window first.
      if (!busy_ && app::MayCloseWindow(list_, commandMessages_)) EndDialog(dialog_, 0);
      return true;
    default: return false;
  }
}

app::CommandContext MainWindow::Context() {
  app::CommandContext context(state_, list_, commandMessages_);
  context.volume.drives = &drives_;
  context.volume.selectedIndex =
      static_cast<int32_t>(SendDlgItemMessageW(dialog_, kDriveBoxControlId, CB_GETCURSEL, 0, 0));
  context.volume.filterText = ControlText(dialog_, kFilterEditId);
  context.volume.unreadableAreas = map_.AreasFor(drives_, context.volume.selectedIndex);
  context.volume.focus = [this](int id) {
    SetFocus(GetDlgItem(dialog_, id));
    SendDlgItemMessageW(dialog_, id, EM_SETSEL, 0, -1);
  };
  context.options.filter = context.volume.filterText;
  context.options.inUse = IsChecked(dialog_, kInUseCheckId);
  context.options.zeroSize = IsChecked(dialog_, kZeroSizeCheckId);
  context.options.analyse = IsChecked(dialog_, kAnalyseCheckId);
  context.options.thorough = thorough_;
  context.newProgress = [this]() -> std::unique_ptr<Progress> {
    return std::make_unique<WindowProgress>(instance_, dialog_);
  };
  return context;
}

bool MainWindow::RunCommand(int (*command)(app::CommandContext&)) {
  if (busy_) return false;
  busy_ = true;
  app::CommandContext context = Context();
  ClusterRangeDialog range(instance_, dialog_, messages_);
  context.rangeAsker = &range;
  const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const uint64_t before = list_.Revision();
  command(context);
  SetCursor(previous);
  // A No or a cancelled range left the rows of the volume they were found on.
  if (list_.Revision() != before) {
    rowsDrive_ = state_.driveIndex;
    ShowNewRows();
  }
  ShowOpenDrive();
  busy_ = false;
  return true;
}

void MainWindow::ShowNewRows() {
  if (view_) view_->FitColumnsToContents();
}

void MainWindow::ShowOpenDrive() {
  std::string title = app::kMainCaption;
  const int32_t index = state_.driveIndex;
  if (index >= 0 && static_cast<size_t>(index) < drives_.entries.size()) {
    const volume::DriveEntry& drive = drives_.entries[static_cast<size_t>(index)];
    title += " — " + drive.rootText;
    if (drive.sourcePath != drive.rootText) title += " (" + drive.sourcePath + ")";
  }
  SetWindowTextW(dialog_, Wide(title).c_str());
}

// The restore destination: the system's folder picker, where a path may
// also be typed; empty when cancelled.
std::string MainWindow::AskFolder() {
  IFileOpenDialog* picker = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&picker))))
    return {};
  std::string chosen;
  FILEOPENDIALOGOPTIONS options = 0;
  picker->GetOptions(&options);
  picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
  picker->SetTitle(Wide(app::kRestoreFolderPrompt).c_str());
  IShellItem* item = nullptr;
  if (SUCCEEDED(picker->Show(dialog_)) && SUCCEEDED(picker->GetResult(&item))) {
    PWSTR path = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
      chosen = Utf8(path);
      CoTaskMemFree(path);
    }
    item->Release();
  }
  picker->Release();
  return chosen;
}

void MainWindow::OnRestore() {
  if (busy_) return;
  std::vector<size_t> rows = view_->SelectedRows();
  if (rows.empty()) {
    messages_.Show(app::kSelectRowsMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    return;
  }
  const std::string destination = AskFolder();
  if (destination.empty()) return;
  const app::ResultList* source = &list_;
  app::ResultList single;
  if (!RestoreSource(rows, source, single)) return;
  busy_ = true;
  app::CommandContext context = Context();
  // The rows are read from the volume they were found on, whatever the
  // drive box shows now.
  if (rowsDrive_ >= 0 && static_cast<size_t>(rowsDrive_) < drives_.entries.size()) {
    context.volume.selectedIndex = rowsDrive_;
    SendDlgItemMessageW(dialog_, kDriveBoxControlId, CB_SETCURSEL, static_cast<WPARAM>(rowsDrive_), 0);
  }
  app::RestoreSummary summary;
  app::RestoreRequest request{destination, source, rows, 0};
  request.askAboutForeignRows = true;
  request.askAboutOriginalNames = true;  // rows of the emptied Recycle Bin: asked, No by default
  const int restored = app::OnRestore(context, request, summary);
  ShowOpenDrive();
  busy_ = false;
  if (restored == 1)
    messages_.Show(app::SummaryText(summary, 20), MessageButtons::Ok,
                   summary.outcomes.AllIntact() ? MessageIcon::Information : MessageIcon::Warning, MessageAnswer::Ok);
}

}  // namespace vellum::win32ui
