// Opening a device or an image file as a BlockDevice: the system's own
// adapter (posix/ on Linux, win32/ on Windows) behind one function.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/block_device.h"

namespace vellum::platform {

enum class OpenAccess { ReadOnly, ReadWrite };

struct OpenResult {
  std::unique_ptr<BlockDevice> device;
  int errorCode = 0;      // errno of the failed open (the system's code mapped to it), 0 on success
  std::string errorText;  // the system's text for the failure
};

// Opens `path` read-only unless the caller asks for writing: only complete
// deletion ever writes to a source volume.
OpenResult OpenDevice(const std::string& path, OpenAccess access = OpenAccess::ReadOnly);

// Added to the system's text when it refuses to open a device for lack of
// rights: how to start the program with them on this system.
#ifdef _WIN32
inline constexpr std::string_view kPermissionHint =
    "\n\n1. 「vellum-cli.exe」 を右クリック\n"
    "2. 「管理者として実行」を選択\n"
    "3. 警告画面が表示されたら「許可(A)」をクリック\n\n"
    "の手順で、起動してください。\n\n"
    "警告画面が表示されない場合は、Administrator の権限を持ったユーザー名でログオンし直してから処理してください。";
#else
inline constexpr std::string_view kPermissionHint =
    "\n\n1. 「sudo vellum」のように root の権限で起動する\n"
    "2. または、ユーザーを disk グループに追加してログオンし直す\n\n"
    "のいずれかの手順で、起動してください。";
#endif

// The same refusal when the program already runs with every right it could
// be given (root): starting it again with them would change nothing.
inline constexpr std::string_view kRefusedWithAllRightsHint =
    "\n\nroot の権限で実行していても開けませんでした。ほかのプログラムが使用中でないか、"
    "デバイスやファイルの設定で読み取りが禁止されていないかを確かめてください。";
#ifdef _WIN32
// Before NT 6 there is no "run as administrator": only another logon helps.
inline constexpr std::string_view kNt5PermissionHint =
    "\n\nAdministrator の権限を持ったユーザー名でログオンし直してから処理してください。";
#endif
// Whether the program runs with every right (root on Linux). On Windows the
// advice to run it as administrator always stands.
bool RunningWithAllRights();
// Whether the system is NT 6 (Vista) or later; true wherever NT versions
// mean nothing.
bool SystemIsNt6OrLater();
// kPermissionHint (on NT 5 kNt5PermissionHint), or kRefusedWithAllRightsHint
// when the program runs with every right already.
inline std::string_view PermissionHintForThisUser(bool nt6OrLater = SystemIsNt6OrLater()) {
  if (RunningWithAllRights()) return kRefusedWithAllRightsHint;
#ifdef _WIN32
  if (!nt6OrLater) return kNt5PermissionHint;
#else
  (void)nt6OrLater;
#endif
  return kPermissionHint;
}

}  // namespace vellum::platform
