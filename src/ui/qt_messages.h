// Message boxes with the program's title.
#pragma once

#include <QPointer>
#include <QWidget>

#include "volume/seams.h"

namespace vellum::ui {

inline constexpr const char* kMessageTitle = "Vellum";

class QtMessages : public Messages {
 public:
  explicit QtMessages(QWidget* parent) : parent_(parent) {}
  MessageAnswer Show(std::string_view text, MessageButtons buttons, MessageIcon icon,
                     MessageAnswer defaultAnswer) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace vellum::ui
