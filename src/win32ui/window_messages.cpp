#include "win32ui/window_messages.h"

#include "platform/win32/wide.h"

namespace vellum::win32ui {

namespace {

UINT ButtonsOf(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return MB_OK;
    case MessageButtons::YesNo: return MB_YESNO;
    case MessageButtons::RetryCancel: return MB_RETRYCANCEL;
  }
  return MB_OK;
}

UINT IconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None: return 0;
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Warning: return MB_ICONWARNING;
    case MessageIcon::Question: return MB_ICONQUESTION;
    case MessageIcon::Stop: return MB_ICONSTOP;
  }
  return 0;
}

// The second button (No, Cancel) as the default when asked for.
UINT DefaultOf(MessageAnswer answer) {
  return answer == MessageAnswer::No || answer == MessageAnswer::Cancel ? MB_DEFBUTTON2 : MB_DEFBUTTON1;
}

MessageAnswer AnswerOf(int id) {
  switch (id) {
    case IDYES: return MessageAnswer::Yes;
    case IDNO: return MessageAnswer::No;
    case IDRETRY: return MessageAnswer::Retry;
    case IDCANCEL: return MessageAnswer::Cancel;
    default: return MessageAnswer::Ok;
  }
}

}  // namespace

MessageAnswer WindowMessages::Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                                   MessageAnswer defaultAnswer) {
  const std::wstring wide = platform::win32::Wide(text);
  const UINT style = ButtonsOf(buttons) | IconOf(icon) | DefaultOf(defaultAnswer) | MB_SETFOREGROUND;
  return AnswerOf(MessageBoxW(owner_, wide.c_str(), L"Vellum", style));
}

}  // namespace vellum::win32ui
