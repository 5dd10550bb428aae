// The API boundary on Windows: the program's UTF-8 text becomes UTF-16 for
// the W functions and back; the system's error codes become the errno values
// the callers test, with the system's own text beside them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace vellum::platform::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The system's message for `code` (FormatMessageW), without the final line break.
std::string ErrorText(DWORD code);
// The errno value a caller tests for a Windows error code.
int ErrnoOf(DWORD code);
SystemError ErrorOf(DWORD code);

// "\\.\C:" and "\\.\PhysicalDrive1": raw volumes and disks, which are
// opened as they are, never with the long-path prefix.
bool IsRawDevicePath(std::string_view path);

// The long-path form for the file functions: "\\?\" before a drive path,
// "\\?\UNC\" for \\server\share, with every '/' turned into '\' (the prefix
// turns off the system's own conversion) and a relative path made absolute
// first. Paths that already carry a prefix, and raw devices, stay as given.
std::wstring LongPath(const std::string& utf8);

}  // namespace vellum::platform::win32
