#include "win32ui/elevation_offer.h"

#include <shellapi.h>

#include <cstdlib>

#include "platform/device_open.h"

namespace vellum::win32ui {

namespace {

constexpr std::string_view kCommandLineName = "「vellum-cli.exe」";
constexpr std::string_view kWindowName = "「vellum.exe」";
constexpr const char* kRestartQuestion = "\n\n管理者として起動し直しますか？";
constexpr const char* kRestartFailedMessage = "管理者として起動し直すことができませんでした。";

// The opening adds the hint to the system's text only when the system
// refused the device for lack of rights.
bool IsRightsRefusal(std::string_view text, MessageButtons buttons) {
  return buttons == MessageButtons::Ok && text.size() > platform::kPermissionHint.size() &&
         text.ends_with(platform::kPermissionHint);
}

// The hint, naming the program the user right-clicks: this one.
std::string WindowHint() {
  std::string hint(platform::kPermissionHint);
  if (const size_t at = hint.find(kCommandLineName); at != std::string::npos)
    hint.replace(at, kCommandLineName.size(), kWindowName);
  return hint;
}

// The arguments this program was started with, as they were written.
std::wstring OwnArguments() {
  const wchar_t* line = GetCommandLineW();
  bool quoted = false;
  for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
    if (*line == L'"') quoted = !quoted;
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

bool IsElevated() {
  if (const char* test = std::getenv("VELLUM_TEST_NOT_ELEVATED"); test && std::string_view(test) == "1") return false;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) && elevation.TokenIsElevated;
  CloseHandle(token);
  return elevated;
}

MessageAnswer ElevationOffer::Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                                   MessageAnswer defaultAnswer) {
  if (!IsRightsRefusal(text, buttons)) return inner_.Show(text, buttons, icon, defaultAnswer);
  const std::string message = std::string(text.substr(0, text.size() - platform::kPermissionHint.size())) + WindowHint();
  // Elevated already, the refusal has another cause: starting again would
  // only meet it again.
  if (IsElevated()) return inner_.Show(message, buttons, icon, defaultAnswer);
  if (inner_.Show(message + kRestartQuestion, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) ==
      MessageAnswer::Yes)
    Restart();
  // The opening carries on as after its own message: it gives up.
  return MessageAnswer::Ok;
}

void ElevationOffer::Restart() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring arguments = OwnArguments();
  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof start;
  start.fMask = SEE_MASK_NOASYNC;
  start.hwnd = owner_;
  start.lpVerb = L"runas";
  start.lpFile = self;
  start.lpParameters = arguments.c_str();
  start.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&start)) {
    PostMessageW(owner_, kRestartedMessage, 0, 0);
    return;
  }
  // The user said no to the system's own question: nothing more to say.
  if (GetLastError() != ERROR_CANCELLED)
    inner_.Show(kRestartFailedMessage, MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
}

}  // namespace vellum::win32ui
