// What may be searched: an image file or a block device. Anything else is
// refused with a message before it is opened, for every route (the drive
// box, the open-image dialog, a list's image, the command line): a pipe or a
// socket would hold the window until another program writes to it, and a
// character device or a folder holds no volume.
#pragma once

#include <string>

namespace vellum::app {

// Why `path` cannot be a source, in a message naming it; empty when it can
// be. A path that does not exist is left to the opening, which says so in
// the system's words.
std::string SourceRefusal(const std::string& path);

}  // namespace vellum::app
