// The file dialogs the main window's commands open, behind an interface so
// that tests can answer them.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>
#include <string_view>

namespace vellum::ui {

class PathAsker {
 public:
  virtual ~PathAsker() = default;
  // Empty when cancelled.
  virtual std::string AskSavePath(std::string_view initialName) = 0;
  virtual std::string AskOpenPath(std::string_view initialName) = 0;
  virtual std::string AskImagePath() = 0;
  // The image a results file names: the dialog starts in `folder` with
  // `initialName` chosen.
  virtual std::string AskImagePathFor(const std::string& folder, std::string_view initialName) {
    (void)folder;
    (void)initialName;
    return AskImagePath();
  }
  // The destination folder of a restore; empty when cancelled.
  virtual std::string AskFolderPath() { return {}; }
};

// The system's file dialogs: "名前を付けて保存" and "開く" with every file
// shown, and no extension added to a name typed without one.
class QtPathAsker : public PathAsker {
 public:
  std::string AskFolderPath() override;
  explicit QtPathAsker(QWidget* parent) : parent_(parent) {}
  std::string AskSavePath(std::string_view initialName) override;
  std::string AskOpenPath(std::string_view initialName) override;
  std::string AskImagePath() override;
  std::string AskImagePathFor(const std::string& folder, std::string_view initialName) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace vellum::ui
