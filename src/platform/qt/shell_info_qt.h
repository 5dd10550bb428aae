// Type names and icons from the shared MIME database, by name alone: the same
// answers for the desktop program and the command line, so both write the
// same results files. Needs QtCore only; no display, no application object.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/shell_info.h"

namespace vellum::platform {

struct ShellIcon {
  std::string iconName;         // the theme icon of the type
  std::string genericIconName;  // the broader fallback when the theme lacks it
};

class QtShellInfo : public ShellInfo {
 public:
  // Folders ("*" with directory) get the inode/directory type; a file its
  // extension with or without the leading '.' (".txt", "TXT"). Unknown
  // extensions get the type of plain binary data. Never touches the disk.
  const ShellFileInfo& Lookup(std::string_view nameOrExtension, bool directory) override;

  // Icon indices count up from 0 in the order their icon names are first
  // met, so they stay the same for the life of the program.
  const std::vector<ShellIcon>& Icons() const { return icons_; }

 private:
  ShellFileInfo Resolve(std::string_view nameOrExtension, bool directory);
  int IconIndex(const std::string& iconName, const std::string& genericIconName);

  std::unordered_map<std::string, ShellFileInfo> cache_;
  std::unordered_map<std::string, int> iconIndices_;
  std::vector<ShellIcon> icons_;
};

}  // namespace vellum::platform
