#include "platform/posix/posix_block_device.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/posix/mapped_views.h"
#include "platform/system_error_text.h"

namespace vellum::platform {

namespace {

class PosixBlockDevice : public BlockDevice {
 public:
  // Image files opened for reading are also viewed in place; devices and
  // anything opened for writing are only ever read and written.
  PosixBlockDevice(int fd, uint64_t size, uint32_t sectorSize, bool writable, bool imageFile)
      : fd_(fd), size_(size), sectorSize_(sectorSize), writable_(writable) {
    if (imageFile && !writable) views_ = std::make_unique<MappedViews>(fd, size);
  }
  ~PosixBlockDevice() override {
    views_.reset();
    ::close(fd_);
  }
  PosixBlockDevice(const PosixBlockDevice&) = delete;
  PosixBlockDevice& operator=(const PosixBlockDevice&) = delete;

  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    size_t done = 0;
    while (done < out.size()) {
      const uint64_t at = offset + done;
      if (at < offset || at > static_cast<uint64_t>(INT64_MAX)) break;
      const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(at));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n < 0) lastError_ = SystemErrorText(errno);
        break;
      }
      done += static_cast<size_t>(n);
    }
    std::fill(out.begin() + static_cast<ptrdiff_t>(done), out.end(), uint8_t{0});
    return done == out.size();
  }

  bool Write(uint64_t offset, std::span<const uint8_t> data) override {
    if (!writable_) return false;
    size_t done = 0;
    while (done < data.size()) {
      const uint64_t at = offset + done;
      if (at < offset || at > static_cast<uint64_t>(INT64_MAX)) return false;
      const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(at));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n < 0) lastError_ = SystemErrorText(errno);
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return true;
  }

  uint64_t Size() const override { return size_; }
  uint32_t SectorSize() const override { return sectorSize_; }
  bool Writable() const override { return writable_; }
  std::string LastError() const override { return lastError_; }
  void WillRead(uint64_t offset, uint64_t length) override { AdviseWillNeed(fd_, offset, length); }
  std::span<const uint8_t> View(uint64_t offset, size_t size, int holder) override {
    return views_ ? views_->View(offset, size, holder) : std::span<const uint8_t>{};
  }
  std::pair<uint64_t, uint64_t> DataExtentFrom(uint64_t offset) override {
    if (offset >= size_) return {size_, size_};
    const off_t first = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
    // ENXIO: nothing but a hole up to the end. A system or device that
    // cannot tell holes has none.
    if (first < 0) return errno == ENXIO ? std::pair{size_, size_} : std::pair{offset, size_};
    const off_t end = ::lseek(fd_, first, SEEK_HOLE);
    const uint64_t from = std::min<uint64_t>(static_cast<uint64_t>(first), size_);
    return {from, end < first ? size_ : std::clamp<uint64_t>(static_cast<uint64_t>(end), from, size_)};
  }

 private:
  int fd_;
  uint64_t size_;
  uint32_t sectorSize_;
  bool writable_;
  std::string lastError_;
  std::unique_ptr<MappedViews> views_;
};

OpenResult Failure(int code) {
  OpenResult r;
  r.errorCode = code;
  r.errorText = SystemErrorText(code);
  return r;
}

}  // namespace

OpenResult OpenPosixDevice(const std::string& path, OpenAccess access) {
  const bool writable = access == OpenAccess::ReadWrite;
  // A pipe is never opened: the open would wait until something writes to
  // it. The check before is the rule; O_NONBLOCK covers a path that turns
  // into one in between, and is taken off again for the reads.
  struct stat before {};
  if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode) && !S_ISBLK(before.st_mode))
    return Failure(S_ISDIR(before.st_mode) ? EISDIR : ENODEV);
  const int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Failure(errno);
  if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int code = errno;
    ::close(fd);
    return Failure(code);
  }
  uint64_t size = 0;
  uint32_t sectorSize = 512;
  if (S_ISBLK(st.st_mode)) {
    if (::ioctl(fd, BLKGETSIZE64, &size) != 0) size = 0;
    int logical = 0;
    if (::ioctl(fd, BLKSSZGET, &logical) == 0 && logical > 0) sectorSize = static_cast<uint32_t>(logical);
  } else if (S_ISREG(st.st_mode)) {
    size = static_cast<uint64_t>(st.st_size);
  } else {
    ::close(fd);
    return Failure(S_ISDIR(st.st_mode) ? EISDIR : ENODEV);
  }
  OpenResult r;
  r.device = std::make_unique<PosixBlockDevice>(fd, size, sectorSize, writable, S_ISREG(st.st_mode));
  return r;
}

OpenResult OpenDevice(const std::string& path, OpenAccess access) { return OpenPosixDevice(path, access); }

bool RunningWithAllRights() { return ::geteuid() == 0; }

bool SystemIsNt6OrLater() { return true; }

}  // namespace vellum::platform
