// The layer's 16-bit module: the disks themselves. It opens the files and
// devices the units are made of and moves bytes to and from them; the BIOS's
// rules (units, geometry, transfer limits) are the 32-bit module's.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/bios_layer_calls.h"

namespace {

void Say(const std::string& text, char* error, uint32_t errorSize) {
  if (!error || errorSize == 0) return;
  const size_t n = std::min<size_t>(text.size(), errorSize - 1);
  std::memcpy(error, text.data(), n);
  error[n] = '\0';
}

#ifdef _WIN32
std::vector<HANDLE> g_disks;

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring out(n > 0 ? static_cast<size_t>(n) : 1u, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(wcslen(out.c_str()));
  return out;
}

int OpenDisk(const char* path, int writable, char* error, uint32_t errorSize) {
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | (writable ? GENERIC_WRITE : 0),
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Say("error " + std::to_string(GetLastError()), error, errorSize);
    return -1;
  }
  g_disks.push_back(h);
  return static_cast<int>(g_disks.size() - 1);
}

uint64_t DiskSize(HANDLE h) {
  LARGE_INTEGER size{};
  return GetFileSizeEx(h, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool Move(HANDLE h, uint64_t offset, uint8_t* buffer, uint32_t length, bool write) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD done = 0;
  const BOOL ok = write ? WriteFile(h, buffer, length, &done, &at) : ReadFile(h, buffer, length, &done, &at);
  return ok && done == length;
}
#else
std::vector<int> g_disks;

int OpenDisk(const char* path, int writable, char* error, uint32_t errorSize) {
  const int fd = open(path, (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) {
    Say(std::strerror(errno), error, errorSize);
    return -1;
  }
  g_disks.push_back(fd);
  return static_cast<int>(g_disks.size() - 1);
}

uint64_t DiskSize(int fd) {
  const off_t end = lseek(fd, 0, SEEK_END);
  return end > 0 ? static_cast<uint64_t>(end) : 0;
}

bool Move(int fd, uint64_t offset, uint8_t* buffer, uint32_t length, bool write) {
  uint32_t done = 0;
  while (done < length) {
    const ssize_t n = write ? pwrite(fd, buffer + done, length - done, static_cast<off_t>(offset + done))
                            : pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<uint32_t>(n);
  }
  return true;
}
#endif

bool Known(int disk) { return disk >= 0 && static_cast<size_t>(disk) < g_disks.size(); }

}  // namespace

// A handle from 0 for the disk at `path` (UTF-8), or -1 with the system's words.
VELLUM_LAYER_EXPORT int q16_open(const char* path, int writable, char* error, uint32_t errorSize) {
  if (!path) return -1;
  return OpenDisk(path, writable, error, errorSize);
}

VELLUM_LAYER_EXPORT uint64_t q16_size(int disk) { return Known(disk) ? DiskSize(g_disks[disk]) : 0; }

// 0 when all `length` bytes moved; 1 otherwise.
VELLUM_LAYER_EXPORT int q16_transfer(int disk, uint64_t offset, uint8_t* buffer, uint32_t length, int write) {
  if (!Known(disk) || !buffer) return 1;
  return Move(g_disks[disk], offset, buffer, length, write != 0) ? 0 : 1;
}
