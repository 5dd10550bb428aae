// A command run on one image file, with scripted message boxes, and a
// temporary folder that is gone afterwards: what the application-level
// tests of restore and complete deletion start from.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/search_command.h"
#include "support/scripted_messages.h"
#include "volume/drives.h"

namespace vellum::testing {

struct Command {
  volume::ScanState state;
  app::ResultList list;
  ScriptedMessages messages;
  volume::DriveTable drives;
  app::CommandContext context{state, list, messages};
  explicit Command(const std::string& image) {
    std::string error;
    EXPECT_TRUE(volume::AppendImage(drives, image, error)) << error;
    context.volume.drives = &drives;
    context.volume.selectedIndex = 0;
  }
};

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "vellum-test-")
      : path_(std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string Path(const std::string& sub = "") const { return sub.empty() ? path_.string() : (path_ / sub).string(); }

 private:
  std::filesystem::path path_;
};

// The rows of `list` whose name is `name`.
inline std::vector<size_t> RowsNamed(const app::ResultList& list, std::string_view name) {
  std::vector<size_t> rows;
  for (size_t row = 0; row < list.RowCount(); ++row)
    if (list.Cell(row, 0) == name) rows.push_back(row);
  return rows;
}

}  // namespace vellum::testing
