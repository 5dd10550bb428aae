// Type names from the shell by name and attributes alone
// (SHGFI_USEFILEATTRIBUTES): nothing on any disk is touched, so a name from
// a damaged volume is just text.
#include <windows.h>
#include <shellapi.h>

#include <unordered_map>

#include "platform/shell_info.h"
#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

// Names on a damaged disk can all differ; the cache must not grow with them.
constexpr size_t kCacheLimit = 4096;

class Win32ShellInfo : public ShellInfo {
 public:
  const ShellFileInfo& Lookup(std::string_view nameOrExtension, bool directory) override {
    std::string key = (directory ? "d:" : "f:") + std::string(nameOrExtension);
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    ShellFileInfo info = Resolve(nameOrExtension, directory);
    if (cache_.size() >= kCacheLimit) cache_.clear();
    return cache_.emplace(std::move(key), std::move(info)).first->second;
  }

 private:
  static ShellFileInfo Resolve(std::string_view nameOrExtension, bool directory) {
    // An extension is asked as a file of that name: "x.txt".
    std::string name(nameOrExtension);
    if (!directory && !name.empty() && name.find('.') == std::string::npos) name = "x." + name;
    else if (!directory && !name.empty() && name[0] == '.') name = "x" + name;
    SHFILEINFOW info{};
    const DWORD attributes = directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    ShellFileInfo out;
    if (SHGetFileInfoW(win32::Wide(name).c_str(), attributes, &info, sizeof info,
                       SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES)) {
      out.typeName = win32::Utf8(info.szTypeName);
      out.iconIndex = info.iIcon;
    }
    return out;
  }

  std::unordered_map<std::string, ShellFileInfo> cache_;
};

}  // namespace

std::unique_ptr<ShellInfo> MakeSystemShellInfo() { return std::make_unique<Win32ShellInfo>(); }

}  // namespace vellum::platform
