#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace vellum::platform {

namespace {

SystemError ErrorOf(int code) { return {code, std::strerror(code)}; }

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
  error = {ec.value(), ec ? ec.message() : std::strerror(ENOTDIR)};
  return false;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool SetPathTimes(const std::string& path, std::optional<timespec> access, std::optional<timespec> modified) {
  timespec times[2];
  times[0] = access.value_or(timespec{0, UTIME_OMIT});
  times[1] = modified.value_or(timespec{0, UTIME_OMIT});
  return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
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
