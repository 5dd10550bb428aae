// The destination side of every restore: folders created below a root,
// names that do not collide, time stamps. Names come from a damaged disk, so
// nothing here lets one climb out of the destination.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "restore/destination.h"
#include "volume/seams.h"

namespace vellum::restore {

inline constexpr std::string_view kPathTooLongMessage =
    "パスの長さが最大値を超えたため処理を中止します。\n\n"
    "復元先をルートディレクトリなどパスの短いところにすれば処理できる可能性があります。";

// Linux's limits on what it can open: a whole path of at most 4095 bytes, a
// single name of at most 255.
inline constexpr size_t kMaxPathBytes = 4095;
inline constexpr size_t kMaxComponentBytes = 255;
// Windows counts in UTF-16 units: 255 to a name, and through the long-path
// prefix ("\\?\UNC\", 8 units) 32767 to the whole path.
inline constexpr size_t kMaxWindowsPathUnits = 32767 - 8;
inline constexpr size_t kMaxWindowsNameUnits = 255;

// Whether the system can open `path` (components split at either of its
// separators), its limits counted as the system counts them.
bool PathFitsIn(platform::PathStyle style, std::string_view path);
inline bool PathFits(std::string_view path) { return PathFitsIn(platform::kSystemPathStyle, path); }

class Outcomes;

// Why a path that does not fit is refused: kReasonNameTooLong when one of
// its names is longer than the system holds, else kReasonPathTooLong.
std::string_view TooLongReason(std::string_view path);
// Records `path` as skipped for that reason, after kPathTooLongMessage.
void SkipTooLong(Messages& messages, Outcomes& outcomes, const std::string& path);

// A name that may be used as one path component: not empty, not "." or
// "..", no separator of the system's (on Windows '\\' as well as '/') and
// no NUL.
bool IsSafeComponent(std::string_view name);

// Characters that FAT, exFAT and Windows-formatted NTFS refuse in a name,
// although they are safe here; also what Windows refuses besides: a trailing
// dot or space, and the device names (CON, NUL, COM1, ...).
bool HasRefusedCharacters(std::string_view name);
// Whether a failed create or mkdir may mean "this name is refused": vfat,
// exfat and ntfs3 say EINVAL (some ENAMETOOLONG or EILSEQ), exfat-fuse
// ENOENT and fusefat EPERM. Only a name holding refused characters is tried
// again, so a real permission problem is still reported as such.
bool IsRefusedNameError(int error);
// The name a file or folder is given at the destination: a name from the
// disk may hold control characters (TAB, CR, LF, ESC...), which no shell or
// listing of the destination shows harmlessly; each takes its visible form
// from the Control Pictures block (U+2400 + the character: TAB is ␉, ESC ␛,
// DEL ␡). Any other name is used as it is.
std::string DestinationName(std::string_view name);

// The name with those characters in their full-width forms: <不明> becomes ＜不明＞.
std::string FullWidthName(std::string_view name);

// root + "/" + relative, with every folder of relative created below root,
// one name at a time from root's own folder (Destination::Folder): a link
// on the way is refused, never followed. A folder whose name the
// destination refuses is made (or found) under its full-width name, and the
// path returned holds that name. Empty when a folder cannot be created, a
// component is unsafe or a link, or the path is too long (then
// kPathTooLongMessage has been shown).
std::string JoinDestination(const std::string& root, const std::string& relative, Messages& messages,
                            FolderNotes* notes = nullptr);

class Outcomes;

// JoinDestination reached from the destination `outcomes` holds (when root
// lies in it), with what it did recorded in `outcomes`: the folders made
// under full-width names counted, and, when no folder came back, `item`
// recorded as skipped (a name or path of ours) or failed (the system's reason).
std::string JoinRecorded(const std::string& root, const std::string& relative, Messages& messages,
                         Outcomes& outcomes, const std::string& item, bool itemIsFolder = false);

// The folder `path` of the destination `outcomes` holds (or, when it holds
// none or `path` lies outside it, of a destination rooted at `path`),
// reached as Destination::Folder reaches it. `local` keeps that second kind
// of destination for as long as the handle is used.
const platform::FolderHandle* FolderOf(Outcomes* outcomes, const std::string& path, bool create,
                                       std::optional<Destination>& local, std::string* reached = nullptr,
                                       FolderNotes* notes = nullptr);

// Sets the modification time of the folder `path`, reached from the root of
// `destination` when it holds the path; the folder itself is changed, never
// a link put in its place.
bool SetFolderTime(Destination* destination, const std::string& path, timespec written);

// Creates the one folder `path` when it does not exist; false when it cannot
// (after kPathTooLongMessage for a path that is too long).
bool EnsureFolder(const std::string& path, Messages& messages);

// The first of path, base_1.ext, base_2.ext, ... that does not exist.
std::string MakeUniqueName(const std::string& path);

bool FileExists(const std::string& path);

// Sets the access and modification times of a file or folder; an absent
// time is left as it is. False when the object cannot be changed.
bool SetFileTimes(const std::string& path, std::optional<timespec> access, std::optional<timespec> modified);

}  // namespace vellum::restore
