// Helpers for driving the main window in tests.
#pragma once

#include <QString>
#include <QWidget>
#include <deque>
#include <memory>
#include <string>

#include "support/scripted_messages.h"
#include "ui/main_dialog.h"
#include "ui/path_asker.h"
#include "volume/drives.h"

namespace vellum::ui::testing {

inline std::string Image(const char* name) { return std::string(VELLUM_TEST_IMAGES) + "/" + name; }

// A drive table of image files only, so no test depends on the machine's disks.
inline volume::DriveTable ImageDrives(const std::vector<std::string>& images) {
  volume::DriveTable table;
  for (const std::string& image : images) {
    std::string error;
    volume::AppendImage(table, image, error);
  }
  for (size_t i = 0; i < table.entries.size(); ++i) table.entries[i].index = static_cast<int32_t>(i);
  table.defaultIndex = table.entries.empty() ? -1 : 0;
  return table;
}

// File dialogs answered from a script; an empty answer is Cancel.
class ScriptedPaths : public PathAsker {
 public:
  std::string AskSavePath(std::string_view initialName) override { return Next(initialName); }
  std::string AskOpenPath(std::string_view initialName) override { return Next(initialName); }
  std::string AskImagePath() override { return Next({}); }
  std::string AskImagePathFor(const std::string& folder, std::string_view initialName) override {
    folders.push_back(folder);
    return Next(initialName);
  }
  std::string AskFolderPath() override { return Next({}); }

  std::deque<std::string> answers;
  std::vector<std::string> initialNames;
  std::vector<std::string> folders;  // where the image dialogs started
  int asked = 0;

 private:
  std::string Next(std::string_view initialName) {
    ++asked;
    initialNames.emplace_back(initialName);
    if (answers.empty()) return {};
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
};

// The main window over image files, its message boxes and file dialogs
// answered from scripts.
struct ScriptedWindow {
  vellum::testing::ScriptedMessages messages;
  ScriptedPaths paths;
  MainDialog dialog;

  explicit ScriptedWindow(const std::vector<std::string>& images) : dialog(ImageDrives(images), 0) {
    dialog.SetMessages(&messages);
    dialog.SetPathAsker(&paths);
    dialog.SetUrlOpener([](const QUrl&) {});
    dialog.show();
  }
};

template <typename T>
T* Find(const QWidget& root, int id) {
  return root.findChild<T*>(QString::number(id));
}

}  // namespace vellum::ui::testing
