// BlockDevice over a raw volume (\\.\C:), a disk (\\.\PhysicalDrive1) or an
// image file, with positional ReadFile/WriteFile through OVERLAPPED offsets.
#include <windows.h>
#include <versionhelpers.h>
#include <winioctl.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/device_open.h"
#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

using win32::ErrorText;

class Win32BlockDevice : public BlockDevice {
 public:
  Win32BlockDevice(HANDLE h, uint64_t size, uint32_t sectorSize, bool writable, bool raw, bool locked)
      : h_(h), size_(size), sectorSize_(sectorSize), writable_(writable), raw_(raw), locked_(locked) {}
  ~Win32BlockDevice() override {
    if (locked_) {
      DWORD ignored = 0;
      DeviceIoControl(h_, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &ignored, nullptr);
    }
    CloseHandle(h_);
  }
  Win32BlockDevice(const Win32BlockDevice&) = delete;
  Win32BlockDevice& operator=(const Win32BlockDevice&) = delete;

  bool Read(uint64_t offset, std::span<uint8_t> out) override {
    std::fill(out.begin(), out.end(), uint8_t{0});
    if (raw_) return ReadAligned(offset, out);
    return Transfer(offset, out.data(), out.size(), false);
  }

  bool Write(uint64_t offset, std::span<const uint8_t> data) override {
    if (!writable_) return false;
    // A raw volume takes whole sectors at sector offsets only; the walks
    // write whole sectors, anything else is refused rather than widened.
    if (raw_ && (offset % sectorSize_ != 0 || data.size() % sectorSize_ != 0)) {
      lastError_ = ErrorText(ERROR_INVALID_PARAMETER);
      return false;
    }
    if (raw_ && reinterpret_cast<uintptr_t>(data.data()) % sectorSize_ != 0) return WriteThroughBounce(offset, data);
    return Transfer(offset, const_cast<uint8_t*>(data.data()), data.size(), true);
  }

  uint64_t Size() const override { return size_; }
  uint32_t SectorSize() const override { return sectorSize_; }
  bool Writable() const override { return writable_; }
  std::string LastError() const override { return lastError_; }

 private:
  // One positional transfer after another until all is done; the handle's
  // file position is never used.
  bool Transfer(uint64_t offset, uint8_t* data, size_t size, bool write) {
    size_t done = 0;
    while (done < size) {
      const uint64_t at = offset + done;
      if (at < offset) return false;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      OVERLAPPED position{};
      position.Offset = static_cast<DWORD>(at);
      position.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD n = 0;
      const BOOL ok = write ? WriteFile(h_, data + done, chunk, &n, &position)
                            : ReadFile(h_, data + done, chunk, &n, &position);
      if (!ok) {
        const DWORD code = GetLastError();
        if (code != ERROR_HANDLE_EOF) lastError_ = ErrorText(code);
        return false;
      }
      if (n == 0) return false;  // the end of a file
      done += n;
    }
    return true;
  }

  // A raw volume reads whole sectors at sector offsets into sector-aligned
  // memory; a request that is not is read through a bounce buffer.
  bool ReadAligned(uint64_t offset, std::span<uint8_t> out) {
    if (out.empty()) return true;
    const uint64_t first = offset / sectorSize_ * sectorSize_;
    const uint64_t end = offset + out.size();
    if (end < offset) return false;
    const uint64_t last = (end + sectorSize_ - 1) / sectorSize_ * sectorSize_;
    if (last - first > (1ull << 31)) return false;
    const size_t length = static_cast<size_t>(last - first);
    void* buffer = VirtualAlloc(nullptr, length, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!buffer) {
      lastError_ = ErrorText(GetLastError());
      return false;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    // Past the volume's end nothing can be read; what lies inside is.
    const size_t inside = first >= size_ ? 0 : static_cast<size_t>(std::min<uint64_t>(length, size_ - first));
    const bool ok = inside > 0 && Transfer(first, bytes, inside, false);
    const size_t skip = static_cast<size_t>(offset - first);
    const size_t got = ok ? (inside > skip ? std::min(out.size(), inside - skip) : 0) : 0;
    if (got > 0) std::copy(bytes + skip, bytes + skip + got, out.begin());
    VirtualFree(buffer, 0, MEM_RELEASE);
    return ok && got == out.size();
  }

  // Unbuffered writes take their bytes from sector-aligned memory only; the
  // caller's buffer need not be, so its bytes are copied to memory that is.
  bool WriteThroughBounce(uint64_t offset, std::span<const uint8_t> data) {
    void* buffer = VirtualAlloc(nullptr, data.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!buffer) {
      lastError_ = ErrorText(GetLastError());
      return false;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::copy(data.begin(), data.end(), bytes);
    const bool ok = Transfer(offset, bytes, data.size(), true);
    VirtualFree(buffer, 0, MEM_RELEASE);
    return ok;
  }

  HANDLE h_;
  uint64_t size_;
  uint32_t sectorSize_;
  bool writable_;
  bool raw_;
  bool locked_;
  std::string lastError_;
};

OpenResult Failure(DWORD code) {
  OpenResult r;
  r.errorCode = win32::ErrnoOf(code);
  r.errorText = ErrorText(code);
  return r;
}

// The size and logical sector size of a raw volume or disk, from its geometry.
void RawGeometry(HANDLE h, uint64_t& size, uint32_t& sectorSize) {
  DWORD n = 0;
  DISK_GEOMETRY_EX geometry{};
  if (DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, &geometry, sizeof geometry, &n, nullptr)) {
    if (geometry.Geometry.BytesPerSector >= 512 && geometry.Geometry.BytesPerSector <= 4096 &&
        (geometry.Geometry.BytesPerSector & (geometry.Geometry.BytesPerSector - 1)) == 0)
      sectorSize = geometry.Geometry.BytesPerSector;
    size = static_cast<uint64_t>(geometry.DiskSize.QuadPart);
  }
  // A volume's own length is its partition's, not the disk's.
  GET_LENGTH_INFORMATION length{};
  if (DeviceIoControl(h, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &n, nullptr) &&
      length.Length.QuadPart > 0)
    size = static_cast<uint64_t>(length.Length.QuadPart);
}

// Complete deletion on a mounted volume would fight the file system driver:
// the volume is locked (nobody else has a file open on it) and dismounted
// for as long as the handle lives, or the opening is refused.
bool LockAndDismount(HANDLE h, DWORD& code) {
  DWORD n = 0;
  if (!DeviceIoControl(h, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &n, nullptr)) {
    code = GetLastError();
    return false;
  }
  if (!DeviceIoControl(h, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &n, nullptr)) {
    code = GetLastError();
    DeviceIoControl(h, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0, &n, nullptr);
    return false;
  }
  return true;
}

bool IsVolumePath(const std::string& path) {
  // \\.\C: (a disk is \\.\PhysicalDriveN and has no file system to dismount)
  return path.size() == 6 && path[5] == ':';
}

}  // namespace

OpenResult OpenDevice(const std::string& path, OpenAccess access) {
  const bool writable = access == OpenAccess::ReadWrite;
  const bool raw = win32::IsRawDevicePath(path);
  if (!raw && IsFolder(path)) {
    OpenResult r = Failure(ERROR_DIRECTORY);
    r.errorCode = EISDIR;
    return r;
  }
  std::wstring name = raw ? win32::Wide(path) : win32::LongPath(path);
  if (raw)
    for (wchar_t& c : name)
      if (c == L'/') c = L'\\';
  // Others keep reading and writing the volume while we read it, as the
  // system's own tools do; a file is opened for what we need, no more.
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | (writable ? GENERIC_WRITE : 0), share, nullptr, OPEN_EXISTING,
                         raw ? FILE_FLAG_NO_BUFFERING : FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failure(GetLastError());

  uint64_t size = 0;
  uint32_t sectorSize = 512;
  bool locked = false;
  if (raw) {
    RawGeometry(h, size, sectorSize);
    if (writable && IsVolumePath(path)) {
      DWORD code = 0;
      if (!LockAndDismount(h, code)) {
        CloseHandle(h);
        OpenResult r = Failure(code);
        r.errorCode = EBUSY;
        r.errorText = "ボリュームをロックできません (" + r.errorText +
                      "): 使用中のファイルやプログラムを閉じてから、もう一度実行してください";
        return r;
      }
      locked = true;
    }
  } else {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
      const DWORD code = GetLastError();
      CloseHandle(h);
      return Failure(code);
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CloseHandle(h);
      OpenResult r = Failure(ERROR_DIRECTORY);
      r.errorCode = EISDIR;
      return r;
    }
    LARGE_INTEGER length{};
    if (GetFileSizeEx(h, &length)) size = static_cast<uint64_t>(length.QuadPart);
  }
  OpenResult r;
  r.device = std::make_unique<Win32BlockDevice>(h, size, sectorSize, writable, raw, locked);
  return r;
}

// An administrator is refused too where a volume is locked by the system;
// the advice to start as one stays the one that helps most often.
bool RunningWithAllRights() { return false; }

bool SystemIsNt6OrLater() { return IsWindowsVistaOrGreater(); }

}  // namespace vellum::platform
