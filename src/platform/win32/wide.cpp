#include "platform/win32/wide.h"

#include <cerrno>
#include <vector>

namespace vellum::platform::win32 {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string ErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n > 0 && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "error " + std::to_string(code);
  return Utf8(text);
}

int ErrnoOf(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    // What NTFS and FAT say for a name they refuse (<>:"|?*, CON, a trailing dot).
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_NO_UNICODE_TRANSLATION: return EILSEQ;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_NOT_READY: return ENXIO;
    default: return EIO;
  }
}

SystemError ErrorOf(DWORD code) { return {ErrnoOf(code), ErrorText(code)}; }

bool IsRawDevicePath(std::string_view path) {
  return path.size() > 4 && (path.substr(0, 4) == "\\\\.\\" || path.substr(0, 4) == "//./");
}

std::wstring LongPath(const std::string& utf8) {
  std::wstring path = Wide(utf8);
  if (IsRawDevicePath(utf8)) return path;
  // The system takes a path with the prefix as it stands: the names the
  // restore joins with '/' below such a destination get the separator here.
  const bool prefixed = path.rfind(L"\\\\?\\", 0) == 0;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (prefixed) return path;
  const bool unc = path.size() > 2 && path[0] == L'\\' && path[1] == L'\\';
  const bool absolute = unc || (path.size() >= 3 && path[1] == L':' && path[2] == L'\\');
  if (!absolute) {
    // GetFullPathNameW resolves "." and ".." too, which the prefix would not.
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD m = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (m == 0 || m >= n) return path;
    full.resize(m);
    return LongPath(Utf8(full));
  }
  return unc ? L"\\\\?\\UNC\\" + path.substr(2) : L"\\\\?\\" + path;
}

}  // namespace vellum::platform::win32
