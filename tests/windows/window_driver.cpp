// Drives vellum.exe from outside, as a person would, by control id: one
// step per run. It finds the main window by its title, posts commands and
// clicks, reads the list view's rows back through the list view's own
// messages (in memory of the window's process), and deals with whatever
// dialog the window opens (a question, the progress window, the
// cluster-range dialog, the folder picker). Texts are written as UTF-8.
//
//   window_driver wait                      the main window is up
//   window_driver drive N                   selects drive box entry N with the arrow keys
//   window_driver click ID                  presses main window button or menu command ID
//   window_driver idle                      waits until the window is free again, or a dialog asks
//   window_driver dialog                    prints the open dialog's caption and texts
//   window_driver type ID TEXT              types TEXT into control ID of the open dialog
//   window_driver type-edit TEXT            types TEXT into the open dialog's first edit box
//   window_driver press ID                  presses button ID of the open dialog
//   window_driver answer ID                 the same, or OK when the dialog has no button ID
//   window_driver rows                      prints the list's heading line and rows, TAB-separated
//   window_driver select 1,3-5              selects those rows (1-based) in the list
//   window_driver text ID                   prints the text of main window control ID
//   window_driver rect ID                   prints control ID's rectangle in the main window's client area
//   window_driver window                    prints the main window's rectangle on the screen
//   window_driver resize DW DH              makes the main window DW wider and DH taller
//   window_driver pixel ID X Y              prints the colour (RRGGBB) seen at X, Y of control ID (0: the window)
//   window_driver hover ID                  moves the mouse onto the middle of control ID
//   window_driver drag X Y DX DY            drags with the left button from X, Y of the client area by DX, DY
//   window_driver key VK                    presses key VK (decimal) where the main window has the focus
//   window_driver close                     clicks the main window's close box
//   window_driver gone                      waits until the main window has closed
//   window_driver pid                       prints the main window's process id
//   window_driver count                     prints how many main windows are open
//   window_driver shown ID                  prints 1 when control ID is visible, else 0
//   window_driver enabled ID                prints 1 when control ID is enabled, else 0
//   window_driver widths                    prints the list's column widths, TAB-separated
//   window_driver autosize                  prints the widths the list itself gives its columns to show every cell whole
//   window_driver heading N                 clicks the list's heading N with the mouse
//   window_driver sorted                    prints the column with the sort arrow and up or down, or none
//   window_driver checked ID                prints 1 when menu command ID has its check mark, else 0
// Exit status 0 done, 1 failed (the reason on standard error), 2 timed out.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

std::wstring WindowText(HWND window) {
  wchar_t text[4096] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

HWND gMain = nullptr;

BOOL CALLBACK FindMain(HWND window, LPARAM count) {
  if (ClassOf(window) == L"#32770" && WindowText(window).rfind(L"Vellum Version", 0) == 0) {
    gMain = window;
    if (!count) return FALSE;
    ++*reinterpret_cast<int*>(count);
  }
  return TRUE;
}

HWND MainWindow(int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    gMain = nullptr;
    EnumWindows(&FindMain, 0);
    if (gMain) return gMain;
    Sleep(100);
  }
  return nullptr;
}

// A visible dialog of the program other than the main window: a message
// box, the progress window, the cluster-range dialog or the folder picker.
HWND gDialog = nullptr;
DWORD gProcess = 0;

BOOL CALLBACK FindDialog(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == gProcess && window != gMain && IsWindowVisible(window) && ClassOf(window) == L"#32770") {
    gDialog = window;
    return FALSE;
  }
  return TRUE;
}

HWND OpenDialog() {
  gDialog = nullptr;
  GetWindowThreadProcessId(gMain, &gProcess);
  EnumWindows(&FindDialog, 0);
  return gDialog;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  const std::wstring kind = ClassOf(child);
  if (IsWindowVisible(child) && (kind == L"Static" || kind == L"Edit" || kind == L"Button")) {
    const std::wstring text = WindowText(child);
    if (!text.empty())
      Print(std::to_string(GetDlgCtrlID(child)) + "\t" + Utf8(kind) + "\t" + Utf8(text) + "\n");
  }
  return TRUE;
}

HWND gEdit = nullptr;
BOOL CALLBACK FindEdit(HWND child, LPARAM) {
  if (ClassOf(child) == L"Edit" && IsWindowVisible(child)) {
    gEdit = child;
    return FALSE;
  }
  return TRUE;
}

// Memory in the window's process for the list view's messages.
class Remote {
 public:
  explicit Remote(size_t size) {
    DWORD id = 0;
    GetWindowThreadProcessId(gMain, &id);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
    if (process_) memory_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~Remote() {
    if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool Ok() const { return memory_ != nullptr; }
  char* At(size_t offset) const { return static_cast<char*>(memory_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) {
    return WriteProcessMemory(process_, At(offset), data, size, nullptr) != 0;
  }
  bool Read(size_t offset, void* data, size_t size) {
    return ReadProcessMemory(process_, At(offset), data, size, nullptr) != 0;
  }

 private:
  HANDLE process_ = nullptr;
  void* memory_ = nullptr;
};

constexpr size_t kTextUnits = 2048;

std::string CellText(HWND list, Remote& remote, int row, int column) {
  LVITEMW item{};
  item.iSubItem = column;
  item.cchTextMax = kTextUnits;
  item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof item));
  remote.Write(0, &item, sizeof item);
  const LRESULT n = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)));
  std::wstring text(static_cast<size_t>(n), L'\0');
  if (n > 0) remote.Read(sizeof item, text.data(), static_cast<size_t>(n) * sizeof(wchar_t));
  return Utf8(text);
}

std::string HeadingText(HWND list, Remote& remote, int column) {
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT;
  c.cchTextMax = kTextUnits;
  c.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof c));
  remote.Write(0, &c, sizeof c);
  SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(remote.At(0)));
  std::wstring text(kTextUnits, L'\0');
  remote.Read(sizeof c, text.data(), kTextUnits * sizeof(wchar_t));
  text.resize(wcslen(text.c_str()));
  return Utf8(text);
}

int PrintRows() {
  const HWND list = GetDlgItem(gMain, 1000);
  Remote remote(sizeof(LVITEMW) + kTextUnits * sizeof(wchar_t) + 64);
  if (!remote.Ok()) return std::fprintf(stderr, "no memory in the window's process\n"), 1;
  const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < columns; ++c) Print(HeadingText(list, remote, c) + (c + 1 < columns ? "\t" : "\n"));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) Print(CellText(list, remote, r, c) + (c + 1 < columns ? "\t" : "\n"));
  return 0;
}

int SelectRows(const std::string& rowList) {
  const HWND list = GetDlgItem(gMain, 1000);
  Remote remote(sizeof(LVITEMW));
  if (!remote.Ok()) return 1;
  auto setState = [&](int row, UINT state) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = state;
    remote.Write(0, &item, sizeof item);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)));
  };
  setState(-1, 0);
  size_t at = 0;
  while (at < rowList.size()) {
    size_t end = rowList.find(',', at);
    if (end == std::string::npos) end = rowList.size();
    const std::string part = rowList.substr(at, end - at);
    const size_t dash = part.find('-');
    const int first = std::atoi(part.c_str());
    const int last = dash == std::string::npos ? first : std::atoi(part.c_str() + dash + 1);
    for (int row = first; row <= last; ++row) setState(row - 1, LVIS_SELECTED);
    at = end + 1;
  }
  return 0;
}

// Free when the main window takes input again and no dialog of the program
// is open; stops early when a dialog shows (a question to answer).
int WaitIdle(int seconds) {
  int calm = 0;
  for (int i = 0; i < seconds * 20; ++i) {
    const HWND dialog = OpenDialog();
    // The progress window (it has the file label 1015) goes by itself.
    if (dialog && !GetDlgItem(dialog, 1015)) return Print("dialog\n"), 0;
    // A window busy outside any message loop (opening a volume) does not
    // answer at once.
    DWORD_PTR result = 0;
    const bool answers = SendMessageTimeoutW(gMain, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) != 0;
    calm = (!dialog && answers && IsWindowEnabled(gMain)) ? calm + 1 : 0;
    if (calm >= 6) return Print("idle\n"), 0;
    Sleep(50);
  }
  return 2;
}

HWND ControlOrMain(const std::string& id) {
  const int n = std::atoi(id.c_str());
  return n == 0 ? gMain : GetDlgItem(gMain, n);
}

int PrintRect(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  if (control != gMain) MapWindowPoints(nullptr, gMain, reinterpret_cast<POINT*>(&r), 2);
  Print(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
        std::to_string(r.bottom) + "\n");
  return 0;
}

int PrintPixel(HWND control, int x, int y) {
  POINT at{x, y};
  ClientToScreen(control, &at);
  const HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  char text[16];
  std::snprintf(text, sizeof text, "%02X%02X%02X\n", GetRValue(c), GetGValue(c), GetBValue(c));
  Print(text);
  return 0;
}

void Mouse(DWORD flags, POINT at = {}) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  SendInput(1, &input, sizeof input);
  Sleep(200);
}

void MouseTo(POINT at) { Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at); }

int Drag(int x, int y, int dx, int dy) {
  POINT at{x, y};
  ClientToScreen(gMain, &at);
  MouseTo(at);
  Mouse(MOUSEEVENTF_LEFTDOWN);
  for (int step = 1; step <= 4; ++step) MouseTo({at.x + dx * step / 4, at.y + dy * step / 4});
  Mouse(MOUSEEVENTF_LEFTUP);
  return 0;
}

int PressKey(int key) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetWindowThreadProcessId(gMain, nullptr), &info);
  const HWND target = info.hwndFocus ? info.hwndFocus : gMain;
  PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
  PostMessageW(target, WM_KEYUP, static_cast<WPARAM>(key), 1 | (3u << 30));
  return 0;
}

// As a person picks a drive with the keyboard: the arrow keys, one entry at
// a time, each handled by the box itself, which tells the window what changed.
int PickDrive(int index) {
  const HWND box = GetDlgItem(gMain, 1005);
  const HWND combo = reinterpret_cast<HWND>(SendMessageW(box, CBEM_GETCOMBOCONTROL, 0, 0));
  const int count = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
  if (!combo || index < 0 || index >= count) return std::fprintf(stderr, "no drive box entry %d\n", index), 1;
  for (int at = static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0)); at != index;) {
    const WPARAM key = at < index ? VK_DOWN : VK_UP;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(combo, WM_KEYDOWN, key, 1, SMTO_NORMAL, 30000, &result);
    SendMessageTimeoutW(combo, WM_KEYUP, key, 1 | (3u << 30), SMTO_NORMAL, 30000, &result);
    const int now = static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0));
    if (now == at) return std::fprintf(stderr, "the drive box did not move from %d\n", at), 1;
    at = now;
  }
  return 0;
}

int PrintWidths() {
  const HWND list = GetDlgItem(gMain, 1000);
  const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < columns; ++c)
    Print(std::to_string(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0)) +
          (c + 1 < columns ? "\t" : "\n"));
  return 0;
}

// What the control makes of each column when asked to fit it to its cells;
// the widths are put back afterwards.
int PrintAutosize() {
  const HWND list = GetDlgItem(gMain, 1000);
  const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < columns; ++c) {
    const LRESULT own = SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), MAKELPARAM(LVSCW_AUTOSIZE, 0));
    Print(std::to_string(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0)) +
          (c + 1 < columns ? "\t" : "\n"));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(c), MAKELPARAM(own, 0));
  }
  return 0;
}

int ClickHeading(int column) {
  const HWND list = GetDlgItem(gMain, 1000);
  const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  Remote remote(sizeof(RECT));
  if (!remote.Ok()) return 1;
  RECT r{};
  if (!SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(remote.At(0))))
    return std::fprintf(stderr, "no heading %d\n", column), 1;
  remote.Read(0, &r, sizeof r);
  POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(header, &at);
  MouseTo(at);
  Mouse(MOUSEEVENTF_LEFTDOWN);
  Mouse(MOUSEEVENTF_LEFTUP);
  return 0;
}

int PrintSorted() {
  const HWND list = GetDlgItem(gMain, 1000);
  const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  Remote remote(sizeof(HDITEMW));
  if (!remote.Ok()) return 1;
  const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  for (int c = 0; c < columns; ++c) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    remote.Write(0, &item, sizeof item);
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(remote.At(0)));
    remote.Read(0, &item, sizeof item);
    if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN))
      return Print(std::to_string(c) + ((item.fmt & HDF_SORTUP) ? " up\n" : " down\n")), 0;
  }
  return Print("none\n"), 0;
}

int WaitGone(int seconds) {
  for (int i = 0; i < seconds * 10; ++i, Sleep(100))
    if (!IsWindow(gMain)) return 0;
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 1;
  _setmode(_fileno(stdout), _O_BINARY);  // lines end in LF alone
  const std::string command = Utf8(argv[1]);
  std::vector<std::string> args;
  for (int i = 2; i < argc; ++i) args.push_back(Utf8(argv[i]));
  if (!MainWindow(command == "wait" ? 60 : command == "gone" ? 1 : 10))
    return command == "gone" ? 0 : (std::fprintf(stderr, "no main window\n"), 1);
  if (command == "wait") return 0;
  if (command == "drive" && args.size() == 1) return PickDrive(std::atoi(args[0].c_str()));
  if (command == "click" && args.size() == 1) {
    // Sent, not posted: back when the command has ended, or after a moment
    // when it waits in a dialog or a walk, so that `idle` never sees the
    // window before the command has begun.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(gMain, WM_COMMAND, MAKEWPARAM(std::atoi(args[0].c_str()), BN_CLICKED), 0, SMTO_NORMAL, 500,
                        &result);
    return 0;
  }
  if (command == "idle") return WaitIdle(args.empty() ? 120 : std::atoi(args[0].c_str()));
  if (command == "rows") return PrintRows();
  if (command == "select" && args.size() == 1) return SelectRows(args[0]);
  if (command == "text" && args.size() == 1) {
    Print(Utf8(WindowText(GetDlgItem(gMain, std::atoi(args[0].c_str())))) + "\n");
    return 0;
  }
  if (command == "rect" && args.size() == 1) return PrintRect(ControlOrMain(args[0]));
  if (command == "window") {
    RECT r{};
    GetWindowRect(gMain, &r);
    Print(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
          std::to_string(r.bottom) + "\n");
    return 0;
  }
  if (command == "resize" && args.size() == 2) {
    RECT r{};
    GetWindowRect(gMain, &r);
    SetWindowPos(gMain, nullptr, 0, 0, r.right - r.left + std::atoi(args[0].c_str()),
                 r.bottom - r.top + std::atoi(args[1].c_str()), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Sleep(300);
    return 0;
  }
  if (command == "pixel" && args.size() == 3)
    return PrintPixel(ControlOrMain(args[0]), std::atoi(args[1].c_str()), std::atoi(args[2].c_str()));
  if (command == "hover" && args.size() == 1) {
    RECT r{};
    GetWindowRect(ControlOrMain(args[0]), &r);
    MouseTo({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    MouseTo({(r.left + r.right) / 2 + 1, (r.top + r.bottom) / 2});
    return 0;
  }
  if (command == "drag" && args.size() == 4)
    return Drag(std::atoi(args[0].c_str()), std::atoi(args[1].c_str()), std::atoi(args[2].c_str()),
                std::atoi(args[3].c_str()));
  if (command == "key" && args.size() == 1) return PressKey(std::atoi(args[0].c_str()));
  if (command == "close") return PostMessageW(gMain, WM_SYSCOMMAND, SC_CLOSE, 0), 0;
  if (command == "gone") return WaitGone(10);
  if (command == "count") {
    int count = 0;
    EnumWindows(&FindMain, reinterpret_cast<LPARAM>(&count));
    return Print(std::to_string(count) + "\n"), 0;
  }
  if (command == "shown" && args.size() == 1)
    return Print(IsWindowVisible(ControlOrMain(args[0])) ? "1\n" : "0\n"), 0;
  if (command == "enabled" && args.size() == 1)
    return Print(IsWindowEnabled(ControlOrMain(args[0])) ? "1\n" : "0\n"), 0;
  if (command == "widths") return PrintWidths();
  if (command == "sorted") return PrintSorted();
  if (command == "autosize") return PrintAutosize();
  if (command == "heading" && args.size() == 1) return ClickHeading(std::atoi(args[0].c_str()));
  if (command == "checked" && args.size() == 1) {
    const UINT state = GetMenuState(GetMenu(gMain), static_cast<UINT>(std::atoi(args[0].c_str())), MF_BYCOMMAND);
    return Print(state != static_cast<UINT>(-1) && (state & MF_CHECKED) ? "1\n" : "0\n"), 0;
  }
  if (command == "pid") {
    DWORD process = 0;
    GetWindowThreadProcessId(gMain, &process);
    return Print(std::to_string(process) + "\n"), 0;
  }
  HWND dialog = nullptr;
  for (int i = 0; i < 200 && !dialog; ++i, Sleep(50)) dialog = OpenDialog();
  if (!dialog) return std::fprintf(stderr, "no dialog open\n"), 2;
  if (command == "dialog") {
    Print("caption\t" + Utf8(WindowText(dialog)) + "\n");
    EnumChildWindows(dialog, &PrintChild, 0);
    return 0;
  }
  if (command == "type" && args.size() == 2) {
    const std::wstring text = Wide(args[1]);
    SendDlgItemMessageW(dialog, std::atoi(args[0].c_str()), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return 0;
  }
  if (command == "type-edit" && args.size() == 1) {
    gEdit = nullptr;
    EnumChildWindows(dialog, &FindEdit, 0);
    if (!gEdit) return std::fprintf(stderr, "the dialog has no edit box\n"), 1;
    const std::wstring text = Wide(args[0]);
    SendMessageW(gEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return 0;
  }
  if ((command == "press" || command == "answer") && args.size() == 1) {
    int id = std::atoi(args[0].c_str());
    // A message box without that button has OK.
    if (command == "answer" && !GetDlgItem(dialog, id)) id = IDOK;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    return 0;
  }
  std::fprintf(stderr, "unknown command\n");
  return 1;
}
