#include "platform/terminal.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <streambuf>

#include "platform/codepage.h"
#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

DWORD StdHandleId(StandardStream stream) {
  switch (stream) {
    case StandardStream::kInput: return STD_INPUT_HANDLE;
    case StandardStream::kOutput: return STD_OUTPUT_HANDLE;
    case StandardStream::kError: return STD_ERROR_HANDLE;
  }
  return STD_ERROR_HANDLE;
}

bool IsConsole(HANDLE h) {
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode);
}

void WriteHandle(HANDLE h, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD n = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 20)), &n, nullptr) ||
        n == 0)
      return;  // a broken stream is no reason to stop a walk
    bytes.remove_prefix(n);
  }
}

std::string InCodePage932(std::string_view utf8) {
  const std::wstring wide = win32::Wide(utf8);
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
  if (n <= 0) return std::string(utf8);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, "?", nullptr);
  return out;
}

// Our texts written to a console as characters (UTF-16), so that every
// console shows them whatever its code page; a console that will not take
// them (a redirected one under some hosts) gets the bytes in code page 932.
void WriteConsoleText(HANDLE h, std::string_view utf8) {
  const std::wstring wide = win32::Wide(utf8);
  std::wstring_view rest(wide);
  while (!rest.empty()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(rest.size(), 1u << 14));
    if (!WriteConsoleW(h, rest.data(), chunk, &n, nullptr) || n == 0) {
      WriteHandle(h, InCodePage932(win32::Utf8(rest)));
      return;
    }
    rest.remove_prefix(n);
  }
}

// Whole UTF-8 characters of `text`; an incomplete one at the end stays in
// `text` for the next piece.
std::string TakeWholeCharacters(std::string& text) {
  size_t end = text.size();
  size_t back = 0;
  while (back < 4 && back < end && (static_cast<unsigned char>(text[end - 1 - back]) & 0xC0) == 0x80) ++back;
  if (back < end) {
    const unsigned char lead = static_cast<unsigned char>(text[end - 1 - back]);
    const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (need > back + 1) end -= back + 1;
  }
  std::string whole = text.substr(0, end);
  text.erase(0, end);
  return whole;
}

// std::cout and std::cerr on a console: the bytes are gathered and written
// as characters. Files and pipes get the bytes unchanged.
class ConsoleBuffer : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE h) : h_(h) {}

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) {
      pending_ += static_cast<char>(c);
      if (c == '\n' || pending_.size() >= 4096) sync();
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<size_t>(n));
    if (pending_.find('\n') != std::string::npos || pending_.size() >= 4096) sync();
    return n;
  }
  int sync() override {
    const std::string whole = TakeWholeCharacters(pending_);
    if (!whole.empty()) WriteConsoleText(h_, whole);
    return 0;
  }

 private:
  HANDLE h_;
  std::string pending_;
};

void (*gOnInterrupt)(int) = nullptr;
std::atomic<int> gPresses{0};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // The first press cancels; the second is left to the system, which ends the program.
  if (gPresses.fetch_add(1) > 0) return FALSE;
  if (gOnInterrupt) gOnInterrupt(130);
  return TRUE;
}

}  // namespace

bool IsTerminal(StandardStream stream) { return IsConsole(GetStdHandle(StdHandleId(stream))); }

int TerminalColumns(StandardStream stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(StdHandleId(stream)), &info)) return 0;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? columns : 0;
}

void WriteStandardError(std::string_view text) {
  std::cerr.flush();
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  if (IsConsole(h)) WriteConsoleText(h, text);
  else WriteHandle(h, text);
}

bool CatchInterrupt(void (*onInterrupt)(int)) {
  gOnInterrupt = onInterrupt;
  gPresses = 0;
  return SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

void ReleaseInterrupt() { SetConsoleCtrlHandler(OnConsoleControl, FALSE); }

std::vector<std::string> StartProgram(int, char**) {
  // The C runtime would turn every "\n" of a results file into "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  static ConsoleBuffer out(GetStdHandle(STD_OUTPUT_HANDLE));
  static ConsoleBuffer err(GetStdHandle(STD_ERROR_HANDLE));
  if (IsConsole(GetStdHandle(STD_OUTPUT_HANDLE))) std::cout.rdbuf(&out);
  if (IsConsole(GetStdHandle(STD_ERROR_HANDLE))) std::cerr.rdbuf(&err);

  // The arguments as the system holds them, in UTF-16: argv has them in the
  // ANSI code page, which cannot hold every name.
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return args;
  for (int i = 1; i < count; ++i) args.push_back(win32::Utf8(wide[i]));
  LocalFree(wide);
  return args;
}

}  // namespace vellum::platform
