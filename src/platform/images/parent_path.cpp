#include "platform/images/parent_path.h"

#include <sys/stat.h>

#include <filesystem>

namespace vellum::platform {

namespace fs = std::filesystem;

std::vector<std::string> ParentCandidates(const std::string& childPath, const std::string& storedName) {
  std::string name = storedName;
  for (char& c : name)
    if (c == '\\') c = '/';
  const fs::path dir = fs::path(childPath).parent_path();
  std::vector<std::string> out;
  const std::string last = fs::path(name).filename().string();
  if (!last.empty()) out.push_back((dir / last).string());
  if (!name.empty() && name[0] != '/') out.push_back((dir / name).lexically_normal().string());
  // A relative name means relative to the child, never to wherever the
  // program was started: that could pick up an unrelated file of that name.
  if (!name.empty() && name[0] == '/') out.push_back(name);
  return out;
}

std::string FindParent(const std::string& childPath, const std::string& storedName) {
  for (const std::string& candidate : ParentCandidates(childPath, storedName)) {
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return candidate;
  }
  return {};
}

}  // namespace vellum::platform
