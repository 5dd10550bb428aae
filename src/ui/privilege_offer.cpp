#include "ui/privilege_offer.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "app/open_volume.h"
#include "ui/text.h"

namespace vellum::ui {

namespace {

// The opening adds this hint to the system's text only when the system
// refused the device for lack of rights (EACCES, EPERM).
bool IsRightsRefusal(std::string_view text, MessageButtons buttons) {
  return buttons == MessageButtons::Ok && text.size() > app::kPermissionHint.size() &&
         text.ends_with(app::kPermissionHint);
}

}  // namespace

RestartCommand PkexecCommand(const QString& pkexec, const QString& self, const QStringList& arguments,
                             const QStringList& display) {
  RestartCommand command{pkexec, {}};
  if (!display.isEmpty()) command.arguments << QStringLiteral("/usr/bin/env") << display;
  command.arguments << self;
  // pkexec starts the program in root's home folder: an image named relative
  // to this one's folder is named by its whole path.
  for (const QString& argument : arguments) {
    const QFileInfo file(argument);
    command.arguments << (file.isRelative() && file.exists() ? file.absoluteFilePath() : argument);
  }
  return command;
}

QStringList DisplayEnvironment() {
  QStringList variables;
  // What polkit's allow_gui keeps: X11 (and XWayland), never a Wayland socket.
  for (const char* name : {"DISPLAY", "XAUTHORITY"})
    if (qEnvironmentVariableIsSet(name))
      variables << QString::fromLatin1(name) + QLatin1Char('=') + qEnvironmentVariable(name);
  return variables;
}

Restarter SystemRestarter() {
  Restarter r;
  // Root refused is refused for another reason: starting again as root
  // would only ask the same question again.
  r.findPkexec = [] {
    return geteuid() == 0 ? QString() : QStandardPaths::findExecutable(QStringLiteral("pkexec"));
  };
  r.actionInstalled = [] {
    return QFileInfo::exists(QStringLiteral("/usr/share/polkit-1/actions/org.vellum.pkexec.policy"));
  };
  r.start = [](const RestartCommand& c) { return QProcess::startDetached(c.program, c.arguments); };
  // After the command that asked has returned and released the window.
  r.quit = [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); };
  return r;
}

PrivilegeOffer::PrivilegeOffer(Messages*& inner) : inner_(inner), restarter_(SystemRestarter()) {}

MessageAnswer PrivilegeOffer::Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                                   MessageAnswer defaultAnswer) {
  const QString pkexec = IsRightsRefusal(text, buttons) ? restarter_.findPkexec() : QString();
  if (pkexec.isEmpty()) return inner_->Show(text, buttons, icon, defaultAnswer);
  const std::string_view systemText = text.substr(0, text.size() - app::kPermissionHint.size());
  const std::string question = std::string(systemText) + kRestartAsRootQuestion;
  if (inner_->Show(question, MessageButtons::YesNo, MessageIcon::Question, MessageAnswer::No) ==
      MessageAnswer::Yes)
    Restart(pkexec);
  // The opening carries on as after its own message: it gives up.
  return MessageAnswer::Ok;
}

void PrivilegeOffer::Restart(const QString& pkexec) {
  const QStringList display = restarter_.actionInstalled() ? QStringList() : DisplayEnvironment();
  const RestartCommand command =
      PkexecCommand(pkexec, QCoreApplication::applicationFilePath(), arguments_, display);
  if (!restarter_.start(command)) {
    inner_->Show(kRestartFailedMessage, MessageButtons::Ok, MessageIcon::Stop, MessageAnswer::Ok);
    return;
  }
  restarter_.quit();
}

}  // namespace vellum::ui
