// The shell's type names and small icons, asked by name and attributes
// only, never by disk access: an interface the platform provides (Qt's MIME
// database here) and the walkers use through ScanState.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vellum {

struct ShellFileInfo {
  std::string typeName;  // in the user's language
  int iconIndex = 0;
  std::string mimeType;  // the type in every language ("image/jpeg"); empty where the system has none
};

class ShellInfo {
 public:
  virtual ~ShellInfo() = default;
  // For a folder pass "*" and directory = true; for a file the name's
  // extension from its last '.', or the whole name when it has none. The
  // answer stays valid until the next Lookup.
  virtual const ShellFileInfo& Lookup(std::string_view nameOrExtension, bool directory) = 0;
};

namespace platform {

// The type names of the system the program runs on, for the command line:
// Qt's MIME database on Linux (platform/qt/), the shell's on Windows.
std::unique_ptr<ShellInfo> MakeSystemShellInfo();

}  // namespace platform

}  // namespace vellum
