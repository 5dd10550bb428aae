#include "restore/restore_output.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "platform/file_system.h"
#include "restore/outcome.h"
#include "restore/restored_file.h"

namespace vellum::restore {

namespace {

std::vector<std::string_view> Components(std::string_view relative,
                                         platform::PathStyle style = platform::kSystemPathStyle) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= relative.size(); ++i) {
    if (i < relative.size() && !platform::IsSeparatorIn(style, relative[i])) continue;
    parts.push_back(relative.substr(start, i - start));
    start = i + 1;
  }
  return parts;
}

using platform::IsFolder;

// The destination `outcomes` holds when `path` lies in it, else one rooted
// at `path` itself (a caller that names its own folder).
Destination& DestinationFor(Outcomes* outcomes, const std::string& path, std::optional<Destination>& local) {
  Destination* held = outcomes ? outcomes->DestinationOf() : nullptr;
  if (held && held->Holds(path)) return *held;
  return local.emplace(path);
}

std::string JoinIn(Destination& destination, const std::string& root, const std::string& relative,
                   Messages& messages, FolderNotes* notes) {
  const std::vector<std::string_view> parts = Components(relative);
  for (std::string_view part : parts)
    if (!IsSafeComponent(part)) {
      if (notes) notes->reason = kReasonUnsafeName;
      return {};
    }
  const std::string full = root + "/" + relative;
  if (!PathFits(full)) {
    messages.Show(kPathTooLongMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    if (notes) notes->reason = TooLongReason(full);
    return {};
  }
  std::string reached;
  if (!destination.Folder(full, true, &reached, notes)) return {};
  return reached;
}

constexpr std::string_view kRefused = "<>:\"\\|?*";
// The full-width forms, in the order of kRefused.
constexpr std::string_view kFullWidth[] = {"＜", "＞", "：", "＂", "＼", "｜", "？", "＊"};

// A name Windows takes for a device: CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// with or without an extension, in any case.
bool IsDeviceName(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

bool EndsWithDotOrSpace(std::string_view name) { return !name.empty() && (name.back() == '.' || name.back() == ' '); }

// The full-width form of an ASCII letter (U+FF21.., U+FF41..).
std::string FullWidthLetter(char c) {
  const unsigned code = 0xFF00u + static_cast<unsigned char>(c) - 0x20u;
  return {static_cast<char>(0xE0 | (code >> 12)), static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
          static_cast<char>(0x80 | (code & 0x3F))};
}

}  // namespace

bool PathFitsIn(platform::PathStyle style, std::string_view path) {
  const bool windows = style == platform::PathStyle::kWindows;
  if (platform::LengthIn(style, path) > (windows ? kMaxWindowsPathUnits : kMaxPathBytes)) return false;
  for (std::string_view part : Components(path, style))
    if (platform::LengthIn(style, part) > (windows ? kMaxWindowsNameUnits : kMaxComponentBytes)) return false;
  return true;
}

std::string_view TooLongReason(std::string_view path) {
  const bool windows = platform::kSystemPathStyle == platform::PathStyle::kWindows;
  for (std::string_view part : Components(path))
    if (platform::LengthIn(platform::kSystemPathStyle, part) > (windows ? kMaxWindowsNameUnits : kMaxComponentBytes))
      return kReasonNameTooLong;
  return kReasonPathTooLong;
}

void SkipTooLong(Messages& messages, Outcomes& outcomes, const std::string& path) {
  messages.Show(kPathTooLongMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
  outcomes.Skipped(path, TooLongReason(path));
}

bool IsSafeComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         std::none_of(name.begin(), name.end(), [](char c) { return platform::IsPathSeparator(c); }) &&
         name.find('\0') == std::string_view::npos;
}

bool IsRefusedNameError(int error) {
  return error == EINVAL || error == ENAMETOOLONG || error == EILSEQ || error == ENOENT || error == EPERM;
}

bool HasRefusedCharacters(std::string_view name) {
  if (name == "." || name == "..") return false;  // never used as names
  return name.find_first_of(kRefused) != std::string_view::npos || EndsWithDotOrSpace(name) || IsDeviceName(name);
}

std::string DestinationName(std::string_view name) {
  std::string out;
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20) out += {'\xE2', '\x90', static_cast<char>(0x80 + u)};
    else if (u == 0x7F) out += "\xE2\x90\xA1";
    else out += c;
  }
  return out;
}

std::string FullWidthName(std::string_view name) {
  // Windows also refuses a trailing dot or space and the device names: the
  // trailing ones and the first letter of a device name take their
  // full-width forms too ("CON.txt" becomes "ＣON.txt", "notes." "notes．").
  size_t keep = name.size();
  while (keep > 0 && (name[keep - 1] == '.' || name[keep - 1] == ' ')) --keep;
  if (keep == 0) keep = name.size();  // "." and ".." are never names here
  const bool device = IsDeviceName(name);
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const size_t at = kRefused.find(c);
    if (at != std::string_view::npos) out += kFullWidth[at];
    else if (i >= keep) out += c == '.' ? "．" : "　";
    else if (i == 0 && device) out += FullWidthLetter(c);
    else out += c;
  }
  return out;
}

std::string JoinDestination(const std::string& root, const std::string& relative, Messages& messages,
                            FolderNotes* notes) {
  std::optional<Destination> local;
  return JoinIn(DestinationFor(nullptr, root, local), root, relative, messages, notes);
}

std::string JoinRecorded(const std::string& root, const std::string& relative, Messages& messages,
                         Outcomes& outcomes, const std::string& item, bool itemIsFolder) {
  FolderNotes notes;
  std::optional<Destination> local;
  std::string folder = JoinIn(DestinationFor(&outcomes, root, local), root, relative, messages, &notes);
  for (uint32_t i = 0; i < notes.renamed; ++i) outcomes.Renamed();
  if (!folder.empty()) return folder;
  if (notes.systemFailure) outcomes.Failed(item, notes.reason, itemIsFolder);
  else outcomes.Skipped(item, notes.reason.empty() ? kReasonPathTooLong : notes.reason, itemIsFolder);
  return {};
}

bool EnsureFolder(const std::string& path, Messages& messages) {
  if (!PathFits(path)) {
    messages.Show(kPathTooLongMessage, MessageButtons::Ok, MessageIcon::None, MessageAnswer::Ok);
    return false;
  }
  platform::SystemError error;
  return IsFolder(path) || platform::MakeFolder(path, error) || (error.code == EEXIST && IsFolder(path));
}

const platform::FolderHandle* FolderOf(Outcomes* outcomes, const std::string& path, bool create,
                                       std::optional<Destination>& local, std::string* reached,
                                       FolderNotes* notes) {
  return DestinationFor(outcomes, path, local).Folder(path, create, reached, notes);
}

bool SetFolderTime(Destination* destination, const std::string& path, timespec written) {
  const size_t separator = path.find_last_of(platform::kSystemPathStyle == platform::PathStyle::kWindows ? "/\\" : "/");
  if (separator == std::string::npos || separator + 1 == path.size()) return false;
  const std::string parent = path.substr(0, separator);
  std::optional<Destination> local;
  Destination& where = destination && destination->Holds(parent) ? *destination : local.emplace(parent);
  const platform::FolderHandle* folder = where.Folder(parent, false, nullptr, nullptr);
  return folder && platform::SetTimesIn(*folder, path.substr(separator + 1), std::nullopt, written);
}

std::string MakeUniqueName(const std::string& path) {
  const size_t separator = path.find_last_of(platform::kSystemPathStyle == platform::PathStyle::kWindows ? "/\\" : "/");
  const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
  const size_t dot = path.rfind('.');
  // A name without a '.', or with one only at its start (.profile), has no extension.
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  const std::string base = hasExtension ? path.substr(0, dot) : path;
  const std::string ext = hasExtension ? path.substr(dot) : std::string();
  std::string candidate = path;
  for (int i = 1; FileExists(candidate); ++i) candidate = base + "_" + std::to_string(i) + ext;
  return candidate;
}

bool FileExists(const std::string& path) { return platform::PathExists(path); }

bool SetFileTimes(const std::string& path, std::optional<timespec> access, std::optional<timespec> modified) {
  return platform::SetPathTimes(path, access, modified);
}

}  // namespace vellum::restore
