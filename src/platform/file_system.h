// The destination side's calls into the file system, one seam for every
// system: creating folders and files that must not exist yet, writing them,
// setting their times, and the tests for what a path names. Paths are UTF-8
// with '/' between components (the Windows adapter turns them into UTF-16
// with the long-path prefix); links are never followed into.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>

// A time that is left as it is. Linux has it from <sys/stat.h>; elsewhere it
// is our own marker with the same meaning, a tv_nsec no real time can have.
#ifndef UTIME_OMIT
#define UTIME_OMIT ((1l << 30) - 2l)
#endif

namespace vellum::platform {

// How a system writes paths: '/' between components and "sdb1:/" as a root
// text on Linux; '\' and "C:\", "card.img#2:\" on Windows, which takes '/'
// as a separator too.
enum class PathStyle { kPosix, kWindows };
#ifdef _WIN32
inline constexpr PathStyle kSystemPathStyle = PathStyle::kWindows;
#else
inline constexpr PathStyle kSystemPathStyle = PathStyle::kPosix;
#endif

constexpr char SeparatorOf(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }
constexpr std::string_view RootTextEndOf(PathStyle style) { return style == PathStyle::kWindows ? ":\\" : ":/"; }
constexpr bool IsSeparatorIn(PathStyle style, char c) {
  return c == '/' || (style == PathStyle::kWindows && c == '\\');
}

// The separator written between components, in folder cells and
// destination paths alike; what ends a root text.
inline constexpr char kPathSeparator = SeparatorOf(kSystemPathStyle);
inline constexpr std::string_view kRootTextEnd = RootTextEndOf(kSystemPathStyle);
constexpr bool IsPathSeparator(char c) { return IsSeparatorIn(kSystemPathStyle, c); }
// A path as the system writes it: '/' turned into the system's separator
// (destinations are joined with '/' as they are built).
inline std::string WithSystemSeparators(std::string path) {
  if constexpr (kPathSeparator != '/')
    for (char& c : path)
      if (c == '/') c = kPathSeparator;
  return path;
}

// The length of a name or path as the system's limits count it: bytes of
// UTF-8 on Linux, UTF-16 units on Windows (a name there may hold 255 units,
// 765 bytes of UTF-8).
size_t LengthIn(PathStyle style, std::string_view utf8);
inline size_t SystemPathLength(std::string_view utf8) { return LengthIn(kSystemPathStyle, utf8); }

// The name a device is known by in root texts: the kernel's own name on
// Linux ("/dev/mapper/vg-root" is "dm-0"), the drive letter of \\.\C: or the
// disk's name (PhysicalDrive1) on Windows; empty when `path` is no device.
std::string DeviceName(const std::string& path);

// A failure in the system's terms: `code` is the errno value (the Windows
// adapter maps its codes onto them, so the callers' tests stay the same) and
// `text` the system's own words for it.
struct SystemError {
  int code = 0;
  std::string text;
};

// std::filesystem paths from and to the program's UTF-8 text, whatever the
// system's narrow code page is.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

bool PathExists(const std::string& path);     // anything by that name, a dangling link too
bool IsFolder(const std::string& path);       // a folder itself, not a link to one
bool IsRegularFile(const std::string& path);  // a plain file, links followed
// A device node (Linux) or a raw volume or disk (\\.\C:, \\.\PhysicalDrive1).
bool IsDevicePath(const std::string& path);
// What a path names, links followed. A source is a plain file or a block
// device; opening a pipe or a socket waits for another program, and a
// character device or a folder holds no volume.
enum class NodeKind { kMissing, kRegular, kBlockDevice, kDirectory, kFifo, kSocket, kCharDevice, kOther };
NodeKind NodeKindOf(const std::string& path);
// The size of a plain file; false when `path` is none.
bool RegularFileSize(const std::string& path, uint64_t& size);

// Creates the one folder `path`; false with the reason when it cannot. A
// folder that already exists is an EEXIST failure, as mkdir says.
bool MakeFolder(const std::string& path, SystemError& error);
// `path` and every missing folder above it.
bool MakeFolders(const std::string& path, SystemError& error);
bool RemoveFile(const std::string& path);

// Sets the access and modification times of the file or folder `path`; an
// absent time, or one whose tv_nsec is UTIME_OMIT, is left as it is.
bool SetPathTimes(const std::string& path, std::optional<timespec> access, std::optional<timespec> modified);

// A folder held open, so that what is made in it is found from it one name
// at a time instead of by a path the system looks up again from the top,
// where a link planted on the way would lead somewhere else. A descriptor on
// Linux; on Windows the folder's path, each name added to it checked for a
// reparse point (a junction or a link) before it is used.
class FolderHandle {
 public:
  FolderHandle() = default;
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&& other) noexcept;

  bool IsOpen() const { return handle_ != kNoHandle || !path_.empty(); }
  // A second handle on the same folder, for an owner that outlives the first.
  FolderHandle Duplicate() const;
  const std::string& Path() const { return path_; }

  // The adapters' own parts: a descriptor, and the path as it was reached.
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;
  std::string path_;
};

// Opens the folder `path` itself (a destination root the user named: links
// on the way to it are followed).
bool OpenFolder(const std::string& path, FolderHandle& out, SystemError& error);
// The folder `name` inside `parent`, made first when it is missing and
// `create` is set (`made` then true). A link by that name is never followed:
// ELOOP; anything else that is no folder: ENOTDIR; missing: ENOENT.
bool MakeOrOpenFolderIn(const FolderHandle& parent, const std::string& name, bool create, FolderHandle& out,
                        bool& made, SystemError& error);
// Whether `name` in `folder` is a link (a reparse point on Windows).
bool IsLinkIn(const FolderHandle& folder, const std::string& name);
// Whether anything by that name is in `folder`, a dangling link too.
bool ExistsIn(const FolderHandle& folder, const std::string& name);
// Gives `from` in `folder` the name `to`, never replacing anything: EEXIST
// when `to` exists.
bool RenameNewIn(const FolderHandle& folder, const std::string& from, const std::string& to, SystemError& error);
bool RemoveFileIn(const FolderHandle& folder, const std::string& name);
// SetPathTimes for `name` in `folder`; a link is never followed.
bool SetTimesIn(const FolderHandle& folder, const std::string& name, std::optional<timespec> access,
                std::optional<timespec> modified);

// fopen with a UTF-8 name.
std::FILE* OpenStdioFile(const std::string& path, const char* mode);

// A file being written by a restore.
class OutputFile {
 public:
  enum class Mode {
    kCreateNew,      // fails (EEXIST) when anything by that name exists
    kCreateOrTruncate,
  };
  OutputFile() = default;
  ~OutputFile();  // closes without reporting
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;

  bool Open(const std::string& path, Mode mode, SystemError& error);
  // Creates `name` in `folder`; fails (EEXIST) when anything by that name,
  // a link included, is there.
  bool CreateNewIn(const FolderHandle& folder, const std::string& name, SystemError& error);
  bool IsOpen() const { return handle_ != kNoHandle; }
  // Writes all of it; false with the reason (ENOSPC for a write that takes nothing).
  bool Write(const uint8_t* data, size_t size, SystemError& error);
  // Sets the modification time before the file is closed (the access time stays).
  bool SetModified(const timespec& modified);
  // Closes; false with the reason when the system reports a failure at the close.
  bool Close(SystemError& error);

 private:
  static constexpr intptr_t kNoHandle = -1;
  intptr_t handle_ = kNoHandle;  // a descriptor, or a HANDLE on Windows
};

}  // namespace vellum::platform
