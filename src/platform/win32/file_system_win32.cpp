#include "platform/file_system.h"

#include <cerrno>
#include <cwchar>

#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

using win32::ErrorOf;
using win32::LongPath;

// 100-ns ticks between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

bool ToFileTime(const timespec& t, FILETIME& out) {
  if (t.tv_nsec == UTIME_OMIT || t.tv_nsec < 0 || t.tv_nsec >= 1000000000L) return false;
  const int64_t seconds = static_cast<int64_t>(t.tv_sec);
  // Before 1601 or past what 64 bits of ticks hold: no time the system can keep.
  if (seconds < -11644473600LL || seconds > 900000000000LL) return false;
  const uint64_t ticks = static_cast<uint64_t>(seconds * 10000000LL + kUnixEpochTicks) +
                         static_cast<uint64_t>(t.tv_nsec / 100);
  out.dwLowDateTime = static_cast<DWORD>(ticks);
  out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return true;
}

// The last component of a '/' or '\' path.
std::string_view LastComponent(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// What Windows refuses as a name, or accepts only through the long-path
// prefix and then leaves unusable for every other program: the characters
// <>:"|?*, control characters, a trailing dot or space, and the device names
// (CON, NUL, COM1, LPT1 ... also with an extension). Refused as EINVAL
// before the system sees them, so the restore's renaming takes over.
bool RefusedName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
      return true;
  if (name.back() == '.' || name.back() == ' ') return true;
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
    return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
}

SystemError RefusedNameError() { return {EINVAL, win32::ErrorText(ERROR_INVALID_NAME)}; }

DWORD Attributes(const std::string& path) { return GetFileAttributesW(LongPath(path).c_str()); }

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& utf8) { return std::filesystem::path(win32::Wide(utf8)); }
std::string Utf8FromPath(const std::filesystem::path& path) { return win32::Utf8(path.native()); }

bool PathExists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsRegularFile(const std::string& path) {
  if (win32::IsRawDevicePath(path)) return false;
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_DEVICE);
}

NodeKind NodeKindOf(const std::string& path) {
  // \\.\C: and \\.\PhysicalDrive1 are volumes and disks; anything else in
  // the device namespace (\\.\pipe\..., \\.\COM1) holds none.
  if (win32::IsRawDevicePath(path)) {
    const std::string name = path.substr(4);
    const bool volume = name.size() == 2 && name[1] == ':';
    return volume || name.rfind("PhysicalDrive", 0) == 0 ? NodeKind::kBlockDevice : NodeKind::kOther;
  }
  const DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) return NodeKind::kMissing;
  if (a & FILE_ATTRIBUTE_DIRECTORY) return NodeKind::kDirectory;
  if (a & FILE_ATTRIBUTE_DEVICE) return NodeKind::kCharDevice;
  return NodeKind::kRegular;
}

bool IsDevicePath(const std::string& path) { return win32::IsRawDevicePath(path); }

std::string DeviceName(const std::string& path) {
  if (!win32::IsRawDevicePath(path)) return {};
  std::string name = path.substr(4);
  // \\.\C: is drive C; a disk keeps its own name (PhysicalDrive1).
  if (name.size() == 2 && name[1] == ':') return std::string(1, static_cast<char>(std::toupper(name[0])));
  return name;
}

bool RegularFileSize(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (win32::IsRawDevicePath(path) ||
      !GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
    return false;
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool MakeFolder(const std::string& path, SystemError& error) {
  if (RefusedName(LastComponent(path))) {
    error = RefusedNameError();
    return false;
  }
  if (CreateDirectoryW(LongPath(path).c_str(), nullptr)) return true;
  error = ErrorOf(GetLastError());
  return false;
}

bool MakeFolders(const std::string& path, SystemError& error) {
  // Each missing folder from the top down, so that a long path works too.
  std::string current;
  size_t at = 0;
  if (path.rfind("\\\\", 0) == 0 || path.rfind("//", 0) == 0) {
    // \\server\share is the root of a network path.
    size_t n = path.find_first_of("/\\", 2);
    n = n == std::string::npos ? path.size() : path.find_first_of("/\\", n + 1);
    at = n == std::string::npos ? path.size() : n;
  } else if (path.size() >= 2 && path[1] == ':') {
    at = path.size() > 2 && (path[2] == '\\' || path[2] == '/') ? 3 : 2;
  }
  current = path.substr(0, at);
  while (at < path.size()) {
    size_t next = path.find_first_of("/\\", at);
    if (next == std::string::npos) next = path.size();
    if (next > at) {
      if (!current.empty() && current.back() != '\\' && current.back() != '/') current += '\\';
      current += path.substr(at, next - at);
      SystemError failure;
      if (!IsFolder(current) && !MakeFolder(current, failure) && !(failure.code == EEXIST && IsFolder(current))) {
        error = failure;
        return false;
      }
    }
    at = next + 1;
  }
  if (IsFolder(path)) return true;
  error = {ENOTDIR, win32::ErrorText(ERROR_DIRECTORY)};
  return false;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(LongPath(path).c_str()) != 0; }

bool SetPathTimes(const std::string& path, std::optional<timespec> access, std::optional<timespec> modified) {
  // Folders open only with backup semantics; a link is changed itself, never its target.
  HANDLE h = CreateFileW(LongPath(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME a{}, m{};
  const bool haveAccess = access && ToFileTime(*access, a);
  const bool haveModified = modified && ToFileTime(*modified, m);
  const BOOL ok = SetFileTime(h, nullptr, haveAccess ? &a : nullptr, haveModified ? &m : nullptr);
  CloseHandle(h);
  return ok != 0;
}

FolderHandle::~FolderHandle() = default;

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = kNoHandle;
  other.path_.clear();
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  handle_ = other.handle_;
  path_ = std::move(other.path_);
  other.handle_ = kNoHandle;
  other.path_.clear();
  return *this;
}

FolderHandle FolderHandle::Duplicate() const {
  FolderHandle copy;
  copy.path_ = path_;
  return copy;
}

namespace {

std::string Joined(const FolderHandle& parent, const std::string& name) {
  const char last = parent.path_.empty() ? '\\' : parent.path_.back();
  return last == '\\' || last == '/' ? parent.path_ + name : parent.path_ + "\\" + name;
}

bool IsReparsePoint(DWORD a) { return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT); }

// What the name in the folder is, as the restore needs to know it: a folder
// (true), or the reason it cannot be used as one.
bool CheckFolder(const std::string& path, SystemError& error) {
  const DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) error = ErrorOf(GetLastError());
  else if (IsReparsePoint(a)) error = {ELOOP, win32::ErrorText(ERROR_CANT_ACCESS_FILE)};
  else if (!(a & FILE_ATTRIBUTE_DIRECTORY)) error = {ENOTDIR, win32::ErrorText(ERROR_DIRECTORY)};
  else return true;
  return false;
}

}  // namespace

bool OpenFolder(const std::string& path, FolderHandle& out, SystemError& error) {
  const DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) {
    error = a == INVALID_FILE_ATTRIBUTES ? ErrorOf(GetLastError()) : SystemError{ENOTDIR, win32::ErrorText(ERROR_DIRECTORY)};
    return false;
  }
  out = FolderHandle();
  out.path_ = path;
  return true;
}

bool MakeOrOpenFolderIn(const FolderHandle& parent, const std::string& name, bool create, FolderHandle& out,
                        bool& made, SystemError& error) {
  made = false;
  const std::string path = Joined(parent, name);
  if (!CheckFolder(path, error)) {
    if (error.code != ENOENT || !create) return false;
    if (MakeFolder(path, error)) made = true;
    else if (error.code != EEXIST) return false;
    if (!CheckFolder(path, error)) return false;
  }
  out = FolderHandle();
  out.path_ = path;
  return true;
}

bool IsLinkIn(const FolderHandle& folder, const std::string& name) {
  return IsReparsePoint(Attributes(Joined(folder, name)));
}

// A device name ("CON.txt") answers for the device, which is no file of the
// folder: such a name is never taken, and the restore writes it full-width.
bool ExistsIn(const FolderHandle& folder, const std::string& name) {
  return !RefusedName(name) && PathExists(Joined(folder, name));
}

bool RenameNewIn(const FolderHandle& folder, const std::string& from, const std::string& to, SystemError& error) {
  if (RefusedName(to)) {
    error = RefusedNameError();
    return false;
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing name is never replaced.
  if (MoveFileExW(LongPath(Joined(folder, from)).c_str(), LongPath(Joined(folder, to)).c_str(), 0)) return true;
  error = ErrorOf(GetLastError());
  return false;
}

bool RemoveFileIn(const FolderHandle& folder, const std::string& name) { return RemoveFile(Joined(folder, name)); }

bool SetTimesIn(const FolderHandle& folder, const std::string& name, std::optional<timespec> access,
                std::optional<timespec> modified) {
  return SetPathTimes(Joined(folder, name), access, modified);
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
  return _wfopen(LongPath(path).c_str(), win32::Wide(mode).c_str());
}

OutputFile::~OutputFile() {
  if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

OutputFile::OutputFile(OutputFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

bool OutputFile::Open(const std::string& path, Mode mode, SystemError& error) {
  if (RefusedName(LastComponent(path))) {
    error = RefusedNameError();
    return false;
  }
  const std::wstring name = LongPath(path);
  if (mode == Mode::kCreateOrTruncate) {
    // Never through a link someone left at the destination.
    const DWORD a = GetFileAttributesW(name.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
      error = {ELOOP, win32::ErrorText(ERROR_CANT_ACCESS_FILE)};
      return false;
    }
  }
  // CREATE_NEW fails on anything that exists, a link included.
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                         mode == Mode::kCreateNew ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = ErrorOf(GetLastError());
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

bool OutputFile::CreateNewIn(const FolderHandle& folder, const std::string& name, SystemError& error) {
  return Open(Joined(folder, name), Mode::kCreateNew, error);
}

bool OutputFile::Write(const uint8_t* data, size_t size, SystemError& error) {
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(h, data, chunk, &written, nullptr)) {
      error = ErrorOf(GetLastError());
      return false;
    }
    if (written == 0) {
      error = ErrorOf(ERROR_DISK_FULL);
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool OutputFile::SetModified(const timespec& modified) {
  FILETIME m{};
  if (!ToFileTime(modified, m)) return false;
  return SetFileTime(reinterpret_cast<HANDLE>(handle_), nullptr, nullptr, &m) != 0;
}

bool OutputFile::Close(SystemError& error) {
  if (!IsOpen()) return true;
  const BOOL closed = CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNoHandle;
  if (closed) return true;
  error = ErrorOf(GetLastError());
  return false;
}

}  // namespace vellum::platform
