// The destination of one restore, held by its root folder. Every folder
// below the root is reached from the root's own handle one name at a time,
// and a link met on the way is never followed: a link planted in the
// destination (out/DCIM -> /elsewhere) cannot carry restored files out of
// it, whatever the names from the disk are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace vellum::restore {

// What the folder operations can tell their caller beyond the path.
struct FolderNotes {
  uint32_t renamed = 0;        // folders made under their full-width names
  std::string reason;          // why no folder came back, in the summary's words
  bool systemFailure = false;  // the reason is the system's (else a name, path or link of ours)
  std::string systemText;      // the system's own words, when it was the system's
};

class Destination {
 public:
  explicit Destination(std::string root);
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;

  const std::string& Root() const { return root_; }
  // Whether `path` is the root or a path below it.
  bool Holds(std::string_view path) const;

  // The one way to a folder of the destination: `path` (the root, or the
  // root and names below it) reached from the root one name at a time,
  // every missing folder made when `create` is set. A name the destination
  // refuses is used (or made) in its full-width form, and `reached` is the
  // path with the names as they were found. A link anywhere below the root
  // is refused and named in the notes' reason. The handle stays this
  // destination's until its next call; null when no folder came back.
  const platform::FolderHandle* Folder(std::string_view path, bool create, std::string* reached, FolderNotes* notes);

 private:
  bool OpenRoot(FolderNotes* notes);

  std::string root_;
  platform::FolderHandle rootHandle_;
  // The folders reached last, the latest first: the next item mostly goes
  // into one of them or below it. A walk makes a folder and then writes the
  // file beside it, so the folder above the last one is kept too; from the
  // root alone, each item of a deep tree would cost a step per level.
  struct Reached {
    std::string path;
    platform::FolderHandle handle;
  };
  static constexpr size_t kKeptFolders = 4;
  std::vector<Reached> recent_;
};

// A name left at the destination by a restore that was killed before it
// could finish a file: restored files are written under such a name and
// take their own only once they are complete.
inline constexpr std::string_view kPartialFilePrefix = ".vellum-partial-";

}  // namespace vellum::restore
