// Message boxes of the Win32 window: the program's title, the system's
// buttons and icons, owned by the window that asks.
#pragma once

#include <windows.h>

#include "volume/seams.h"

namespace vellum::win32ui {

class WindowMessages final : public Messages {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace vellum::win32ui
