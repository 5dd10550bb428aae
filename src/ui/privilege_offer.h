// A device the user may not read: the window offers to start itself again
// with root's rights through pkexec, with the arguments it was started with.
// The terminal's hint (sudo, the disk group) stays for when pkexec is absent.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "volume/seams.h"

namespace vellum::ui {

inline constexpr const char* kRestartAsRootQuestion =
    "\n\nこのドライブを読み取るには root の権限が必要です。\n"
    "「はい」を選ぶと、管理者のパスワードを確かめてから root の権限で起動し直します。\n\n"
    "root の権限で起動し直しますか？";
inline constexpr const char* kRestartFailedMessage = "pkexec を起動できませんでした。";

// What would run: pkexec with this program's absolute path and arguments.
struct RestartCommand {
  QString program;
  QStringList arguments;
};

// pkexec runs only absolute paths, and the polkit action installed with the
// program names that path; `self` is this program's. Without that action
// pkexec keeps no display, so `display` ("DISPLAY=:0", ...) is then handed
// over through env; empty when the action keeps it.
RestartCommand PkexecCommand(const QString& pkexec, const QString& self, const QStringList& arguments,
                             const QStringList& display = {});

// The display variables of this session, as env takes them.
QStringList DisplayEnvironment();

// The ways out of this process, replaceable so that tests run nothing.
struct Restarter {
  std::function<QString()> findPkexec;               // empty when absent, or when already root
  std::function<bool()> actionInstalled;             // polkit knows the program's action
  std::function<bool(const RestartCommand&)> start;  // false when it could not start
  std::function<void()> quit;                        // this instance ends
};

// pkexec from PATH, started detached; this program then quits.
Restarter SystemRestarter();

// Passes every message to `inner` except the refusal of a device for lack of
// rights, which becomes the question above (when pkexec is there).
class PrivilegeOffer : public Messages {
 public:
  explicit PrivilegeOffer(Messages*& inner);

  MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override;
  void SetRestarter(Restarter restarter) { restarter_ = std::move(restarter); }
  // The program's own arguments (the image files), given again to the restart.
  void SetArguments(QStringList arguments) { arguments_ = std::move(arguments); }

 private:
  void Restart(const QString& pkexec);

  Messages*& inner_;  // the window's current messages, which tests replace
  QStringList arguments_;
  Restarter restarter_;
};

}  // namespace vellum::ui
