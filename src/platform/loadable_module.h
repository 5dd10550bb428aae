// A library loaded at run time from a file, and its entry points looked up
// by name: how the program binds the disk BIOS layer when it is asked to
// take the legacy path.
#pragma once

#include <memory>
#include <string>

namespace vellum::platform {

class LoadableModule {
 public:
  virtual ~LoadableModule() = default;
  // The entry point `name`, or null when the module has none of that name.
  virtual void* Symbol(const char* name) = 0;
};

// Loads the module at `path` (UTF-8). Null, with the system's words in
// `error`, when it is missing, not a module for this system, or needs a
// module that cannot be bound.
std::unique_ptr<LoadableModule> LoadModule(const std::string& path, std::string& error);

// The folder the running program's file is in, without a trailing separator.
std::string ProgramFolder();

}  // namespace vellum::platform
