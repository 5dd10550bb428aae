#include "restore/restore_output.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "restore/outcome.h"
#include "restore/restored_file.h"

namespace vellum::restore {

namespace {

std::vector<std::string_view> Components(std::string_view relative) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (start <= relative.size()) {
    const size_t slash = relative.find('/', start);
    const size_t end = slash == std::string_view::npos ? relative.size() : slash;
    parts.push_back(relative.substr(start, end - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return parts;
}

bool TooLong(std::string_view path) {
  if (path.size() > kMaxPathBytes) return true;
  for (std::string_view part : Components(path))
    if (part.size() > kMaxComponentBytes) return true;
  return false;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolder(const std::string& path) {
  if (IsFolder(path)) return true;
  return ::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(path));
}

// The folder `name` inside `parent`, made when missing; `made` is its path,
// which holds the full-width name when the destination refused the name.
bool MakeFolderIn(const std::string& parent, std::string_view name, std::string& made, FolderNotes* notes) {
  made = parent + "/" + std::string(name);
  if (MakeFolder(made)) return true;
  const int error = errno;
  if (IsRefusedNameError(error) && HasRefusedCharacters(name)) {
    made = parent + "/" + FullWidthName(name);
    const bool existed = IsFolder(made);
    if (MakeFolder(made)) {
      if (notes && !existed) ++notes->renamed;
      return true;
    }
  }
  if (notes) {
    notes->reason = WriteFailureReason(std::strerror(errno ? errno : error));
    notes->systemFailure = true;
  }
  return false;
}

constexpr std::string_view kRefused = "<>:\"\\|?*";
// The full-width forms, in the order of kRefused.
constexpr std::string_view kFullWidth[] = {"＜", "＞", "：", "＂", "＼", "｜", "？", "＊"};

}  // namespace

bool IsSafeComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

bool IsRefusedNameError(int error) {
  return error == EINVAL || error == ENAMETOOLONG || error == EILSEQ || error == ENOENT || error == EPERM;
}

bool HasRefusedCharacters(std::string_view name) { return name.find_first_of(kRefused) != std::string_view::npos; }

std::string FullWidthName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const size_t at = kRefused.find(c);
    if (at == std::string_view::npos) out += c;
    else out += kFullWidth[at];
  }
  return out;
}

std::string JoinDestination(const std::string& root, const std::string& relative, Messages& messages,
                            FolderNotes* notes) {
  const std::vector<std::string_view> parts = Components(relative);
  for (std::string_view part : parts)
    if (!IsSafeComponent(part)) {
      if (notes) notes->reason = kReasonUnsafeName;
      return {};
    }
  const std::string full = root + "/" + relative;
  if (TooLong(full)) {
    messages.Show(kPathTooLongMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    if (notes) notes->reason = kReasonPathTooLong;
    return {};
  }
  std::string current = root;
  for (std::string_view part : parts) {
    std::string made;
    if (!MakeFolderIn(current, part, made, notes)) return {};
    current = std::move(made);
  }
  return current;
}

std::string JoinRecorded(const std::string& root, const std::string& relative, Messages& messages,
                         Outcomes& outcomes, const std::string& item, bool itemIsFolder) {
  FolderNotes notes;
  std::string folder = JoinDestination(root, relative, messages, &notes);
  for (uint32_t i = 0; i < notes.renamed; ++i) outcomes.Renamed();
  if (!folder.empty()) return folder;
  if (notes.systemFailure) outcomes.Failed(item, notes.reason, itemIsFolder);
  else outcomes.Skipped(item, notes.reason.empty() ? kReasonPathTooLong : notes.reason, itemIsFolder);
  return {};
}

bool EnsureFolder(const std::string& path, Messages& messages) {
  if (TooLong(path)) {
    messages.Show(kPathTooLongMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    return false;
  }
  return MakeFolder(path);
}

std::string MakeUniqueName(const std::string& path) {
  const size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
  const size_t dot = path.rfind('.');
  // A name without a '.', or with one only at its start (.profile), has no extension.
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  const std::string base = hasExtension ? path.substr(0, dot) : path;
  const std::string ext = hasExtension ? path.substr(dot) : std::string();
  std::string candidate = path;
  for (int i = 1; FileExists(candidate); ++i) candidate = base + "_" + std::to_string(i) + ext;
  return candidate;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool SetFileTimes(const std::string& path, std::optional<timespec> access, std::optional<timespec> modified) {
  timespec times[2];
  times[0] = access.value_or(timespec{0, UTIME_OMIT});
  times[1] = modified.value_or(timespec{0, UTIME_OMIT});
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace vellum::restore
