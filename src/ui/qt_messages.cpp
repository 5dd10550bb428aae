#include "ui/qt_messages.h"

#include <QMessageBox>

#include "ui/cursor_scope.h"
#include "ui/text.h"

namespace vellum::ui {

namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case MessageButtons::Ok: break;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButton ButtonOf(MessageAnswer answer) {
  switch (answer) {
    case MessageAnswer::Yes: return QMessageBox::Yes;
    case MessageAnswer::No: return QMessageBox::No;
    case MessageAnswer::Retry: return QMessageBox::Retry;
    case MessageAnswer::Cancel: return QMessageBox::Cancel;
    case MessageAnswer::Ok: break;
  }
  return QMessageBox::Ok;
}

MessageAnswer AnswerOf(int button) {
  switch (button) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Retry: return MessageAnswer::Retry;
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    default: return MessageAnswer::Ok;
  }
}

}  // namespace

MessageAnswer QtMessages::Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                               MessageAnswer defaultAnswer) {
  QMessageBox box(IconOf(icon), QString::fromLatin1(kMessageTitle), FromUtf8(text),
                  ButtonsOf(buttons), parent_);
  // Names and paths from the disk go into messages; none is markup.
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(ButtonOf(defaultAnswer));
  // A Yes/No question has no Cancel; Esc then means No, the safe answer.
  if (buttons == MessageButtons::YesNo) box.setEscapeButton(QMessageBox::No);
  const NormalCursorWhileAsking normalCursor;
  return AnswerOf(box.exec());
}

}  // namespace vellum::ui
