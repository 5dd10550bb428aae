#include "restore/destination.h"

#include <cerrno>
#include <utility>

#include "restore/outcome.h"
#include "restore/restore_output.h"
#include "restore/restored_file.h"

namespace vellum::restore {

namespace {

// The path of `name` inside the folder at `path`, as the walks join them.
std::string Child(const std::string& path, std::string_view name) {
  return path.empty() || platform::IsPathSeparator(path.back()) ? path + std::string(name)
                                                                : path + "/" + std::string(name);
}

void NoteFailure(FolderNotes* notes, const std::string& path, const platform::SystemError& error) {
  if (!notes) return;
  if (error.code == ELOOP) {
    notes->reason = std::string(kReasonLink) + " (" + platform::WithSystemSeparators(path) + ")";
    notes->systemFailure = false;
    return;
  }
  notes->reason = WriteFailureReason(error.text);
  notes->systemFailure = true;
  notes->systemText = error.text;
}

// One step down: `name` in `parent`, or its full-width form where the
// destination refuses the name itself.
bool StepInto(const platform::FolderHandle& parent, std::string& path, std::string_view name, bool create,
              platform::FolderHandle& next, FolderNotes* notes) {
  bool made = false;
  platform::SystemError error;
  const std::string plain = DestinationName(name);
  if (platform::MakeOrOpenFolderIn(parent, plain, create, next, made, error)) {
    path = Child(path, plain);
    return true;
  }
  if (IsRefusedNameError(error.code) && HasRefusedCharacters(name)) {
    const std::string wide = FullWidthName(plain);
    platform::SystemError second;
    if (platform::MakeOrOpenFolderIn(parent, wide, create, next, made, second)) {
      if (notes && made) ++notes->renamed;
      path = Child(path, wide);
      return true;
    }
    if (second.code != 0 && second.code != ENOENT) error = second;
  }
  NoteFailure(notes, Child(path, name), error);
  return false;
}

}  // namespace

Destination::Destination(std::string root) : root_(std::move(root)) {}

bool Destination::Holds(std::string_view path) const {
  if (!path.starts_with(root_)) return false;
  if (path.size() == root_.size()) return true;
  return platform::IsPathSeparator(path[root_.size()]) || (!root_.empty() && platform::IsPathSeparator(root_.back()));
}

bool Destination::OpenRoot(FolderNotes* notes) {
  if (rootHandle_.IsOpen()) return true;
  platform::SystemError error;
  if (platform::OpenFolder(root_, rootHandle_, error)) return true;
  NoteFailure(notes, root_, error);
  return false;
}

const platform::FolderHandle* Destination::Folder(std::string_view path, bool create, std::string* reached,
                                                  FolderNotes* notes) {
  if (!Holds(path)) {
    if (notes) notes->reason = kReasonUnsafeName;
    return nullptr;
  }
  if (!OpenRoot(notes)) return nullptr;
  // Start from the deepest folder kept that is the path or lies above it.
  const Reached* start = nullptr;
  for (const Reached& r : recent_) {
    const bool above = path.starts_with(r.path) &&
                       (path.size() == r.path.size() || platform::IsPathSeparator(path[r.path.size()]));
    if (above && (start == nullptr || r.path.size() > start->path.size())) start = &r;
  }
  std::string current = start ? start->path : root_;
  size_t at = current.size();
  const platform::FolderHandle* from = start ? &start->handle : &rootHandle_;
  platform::FolderHandle step;
  while (at < path.size()) {
    if (platform::IsPathSeparator(path[at])) ++at;  // the separator after what is reached already
    if (at == path.size()) break;
    size_t end = at;
    while (end < path.size() && !platform::IsPathSeparator(path[end])) ++end;
    const std::string_view name = path.substr(at, end - at);
    if (!IsSafeComponent(name)) {
      if (notes) notes->reason = kReasonUnsafeName;
      return nullptr;
    }
    platform::FolderHandle next;
    if (!StepInto(*from, current, name, create, next, notes)) return nullptr;
    step = std::move(next);
    from = &step;
    at = end;
  }
  if (reached) *reached = current;
  if (from != &step) {
    // A folder kept already (or the root): it becomes the latest.
    if (start == nullptr) step = rootHandle_.Duplicate();
    else step = std::move(recent_[static_cast<size_t>(start - recent_.data())].handle);
    if (start) recent_.erase(recent_.begin() + (start - recent_.data()));
  }
  if (recent_.size() == kKeptFolders) recent_.pop_back();
  recent_.insert(recent_.begin(), Reached{current, std::move(step)});
  return &recent_.front().handle;
}

}  // namespace vellum::restore
