#include "platform/file_system.h"
#include "platform/system_error_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace vellum::platform {

namespace {

SystemError ErrorOf(int code) { return {code, SystemErrorText(code)}; }

}  // namespace

std::filesystem::path PathFromUtf8(const std::string& utf8) { return std::filesystem::path(utf8); }
std::string Utf8FromPath(const std::filesystem::path& path) { return path.string(); }

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

NodeKind NodeKindOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return NodeKind::kMissing;
  if (S_ISREG(st.st_mode)) return NodeKind::kRegular;
  if (S_ISBLK(st.st_mode)) return NodeKind::kBlockDevice;
  if (S_ISDIR(st.st_mode)) return NodeKind::kDirectory;
  if (S_ISFIFO(st.st_mode)) return NodeKind::kFifo;
  if (S_ISSOCK(st.st_mode)) return NodeKind::kSocket;
  if (S_ISCHR(st.st_mode)) return NodeKind::kCharDevice;
  return NodeKind::kOther;
}

bool IsDevicePath(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

std::string DeviceName(const std::string& path) {
  if (!IsDevicePath(path)) return {};
  // Device names reach us through links (/dev/disk/by-id/..., /dev/mapper/...);
  // the drive list shows the kernel's own name.
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(path, ec);
  return ec ? std::string() : real.filename().string();
}

bool RegularFileSize(const std::string& path, uint64_t& size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool MakeFolder(const std::string& path, SystemError& error) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  error = ErrorOf(errno);
  return false;
}

bool MakeFolders(const std::string& path, SystemError& error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (std::filesystem::is_directory(path)) return true;
  error = {ec.value(), SystemErrorText(ec ? ec.value() : ENOTDIR)};
  return false;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool SetPathTimes(const std::string& path, std::optional<timespec> access, std::optional<timespec> modified) {
  timespec times[2];
  times[0] = access.value_or(timespec{0, UTIME_OMIT});
  times[1] = modified.value_or(timespec{0, UTIME_OMIT});
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

FolderHandle::~FolderHandle() {
  if (handle_ != kNoHandle) ::close(static_cast<int>(handle_));
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = kNoHandle;
  other.path_.clear();
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (handle_ != kNoHandle) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    other.handle_ = kNoHandle;
    other.path_.clear();
  }
  return *this;
}

FolderHandle FolderHandle::Duplicate() const {
  FolderHandle copy;
  if (handle_ != kNoHandle) copy.handle_ = ::fcntl(static_cast<int>(handle_), F_DUPFD_CLOEXEC, 0);
  if (copy.handle_ != kNoHandle) copy.path_ = path_;
  return copy;
}

namespace {

int Fd(const FolderHandle& folder) { return static_cast<int>(folder.handle_); }

std::string Joined(const FolderHandle& parent, const std::string& name) {
  return parent.path_.empty() || parent.path_.back() == '/' ? parent.path_ + name : parent.path_ + "/" + name;
}

// O_NOFOLLOW refuses a link as the last name and O_DIRECTORY anything but a
// folder; the reason is told from what the name really is.
int OpenFolderAt(const FolderHandle& parent, const std::string& name, SystemError& error) {
  const int fd = ::openat(Fd(parent), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) return fd;
  int code = errno;
  if (code == ELOOP || code == ENOTDIR) code = IsLinkIn(parent, name) ? ELOOP : ENOTDIR;
  error = ErrorOf(code);
  return -1;
}

}  // namespace

bool OpenFolder(const std::string& path, FolderHandle& out, SystemError& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = ErrorOf(errno);
    return false;
  }
  out = FolderHandle();
  out.handle_ = fd;
  out.path_ = path;
  return true;
}

bool MakeOrOpenFolderIn(const FolderHandle& parent, const std::string& name, bool create, FolderHandle& out,
                        bool& made, SystemError& error) {
  made = false;
  int fd = OpenFolderAt(parent, name, error);
  if (fd < 0 && error.code == ENOENT && create) {
    if (::mkdirat(Fd(parent), name.c_str(), 0777) == 0) made = true;
    else if (errno != EEXIST) {
      error = ErrorOf(errno);
      return false;
    }
    fd = OpenFolderAt(parent, name, error);
  }
  if (fd < 0) return false;
  out = FolderHandle();
  out.handle_ = fd;
  out.path_ = Joined(parent, name);
  return true;
}

bool IsLinkIn(const FolderHandle& folder, const std::string& name) {
  struct stat st {};
  return ::fstatat(Fd(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

bool ExistsIn(const FolderHandle& folder, const std::string& name) {
  struct stat st {};
  return ::fstatat(Fd(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool RenameNewIn(const FolderHandle& folder, const std::string& from, const std::string& to, SystemError& error) {
  const int fd = Fd(folder);
  if (::renameat2(fd, from.c_str(), fd, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
    error = ErrorOf(errno);
    return false;
  }
  // A file system that cannot rename without replacing (some FUSE ones):
  // a second name and the first one removed, which also never replaces.
  if (::linkat(fd, from.c_str(), fd, to.c_str(), 0) == 0) {
    ::unlinkat(fd, from.c_str(), 0);
    return true;
  }
  if (errno == EEXIST || ExistsIn(folder, to)) {
    error = ErrorOf(EEXIST);
    return false;
  }
  // Nor links (vfat): the name was free a moment ago, and only this restore
  // writes here. An EINVAL from here on is the name itself refused.
  if (::renameat(fd, from.c_str(), fd, to.c_str()) == 0) return true;
  error = ErrorOf(errno);
  return false;
}

bool RemoveFileIn(const FolderHandle& folder, const std::string& name) {
  return ::unlinkat(Fd(folder), name.c_str(), 0) == 0;
}

bool SetTimesIn(const FolderHandle& folder, const std::string& name, std::optional<timespec> access,
                std::optional<timespec> modified) {
  timespec times[2];
  times[0] = access.value_or(timespec{0, UTIME_OMIT});
  times[1] = modified.value_or(timespec{0, UTIME_OMIT});
  return ::utimensat(Fd(folder), name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

OutputFile::~OutputFile() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
}

OutputFile::OutputFile(OutputFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kNoHandle; }

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    if (IsOpen()) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    other.handle_ = kNoHandle;
  }
  return *this;
}

bool OutputFile::Open(const std::string& path, Mode mode, SystemError& error) {
  // Never through a link someone left at the destination.
  const int how = mode == Mode::kCreateNew ? O_CREAT | O_EXCL : O_CREAT | O_TRUNC;
  const int fd = ::open(path.c_str(), O_WRONLY | how | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = ErrorOf(errno);
    return false;
  }
  handle_ = fd;
  return true;
}

bool OutputFile::CreateNewIn(const FolderHandle& folder, const std::string& name, SystemError& error) {
  const int fd = ::openat(Fd(folder), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = ErrorOf(errno);
    return false;
  }
  handle_ = fd;
  return true;
}

bool OutputFile::Write(const uint8_t* data, size_t size, SystemError& error) {
  const int fd = static_cast<int>(handle_);
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes nothing without an error is a full disk too.
      error = ErrorOf(n < 0 ? errno : ENOSPC);
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::SetModified(const timespec& modified) {
  const timespec times[2] = {{0, UTIME_OMIT}, modified};
  return ::futimens(static_cast<int>(handle_), times) == 0;
}

bool OutputFile::Close(SystemError& error) {
  if (!IsOpen()) return true;
  const int closed = ::close(static_cast<int>(handle_));
  handle_ = kNoHandle;
  if (closed == 0) return true;
  error = ErrorOf(errno);
  return false;
}

}  // namespace vellum::platform
