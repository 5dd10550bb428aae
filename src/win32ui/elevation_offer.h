// A device refused for lack of rights: the administrator message names this
// program, and unless it already runs elevated, the window offers to start
// itself again as administrator ("runas") with the arguments it was given.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "volume/seams.h"

namespace vellum::win32ui {

// Posted to the main window once the elevated program has started: this one
// ends.
inline constexpr UINT kRestartedMessage = WM_APP + 1;

// Whether this process runs with an administrator's full token. The
// environment variable VELLUM_TEST_NOT_ELEVATED=1 makes it answer no, so
// that the offer can be tried where every process is elevated (Wine).
bool IsElevated();

class ElevationOffer final : public Messages {
 public:
  explicit ElevationOffer(Messages& inner) : inner_(inner) {}
  void SetOwner(HWND owner) { owner_ = owner; }

  MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override;

 private:
  void Restart();

  Messages& inner_;
  HWND owner_ = nullptr;
};

}  // namespace vellum::win32ui
