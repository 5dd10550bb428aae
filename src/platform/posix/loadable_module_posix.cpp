#include <dlfcn.h>
#include <unistd.h>

#include <vector>

#include "platform/loadable_module.h"

namespace vellum::platform {

namespace {

class DlModule : public LoadableModule {
 public:
  explicit DlModule(void* handle) : handle_(handle) {}
  ~DlModule() override { dlclose(handle_); }
  void* Symbol(const char* name) override { return dlsym(handle_, name); }

 private:
  void* handle_;
};

}  // namespace

std::unique_ptr<LoadableModule> LoadModule(const std::string& path, std::string& error) {
  // RTLD_LOCAL: the layer's entry points never stand in for the program's own.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = why ? why : path;
    return nullptr;
  }
  return std::make_unique<DlModule>(handle);
}

std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return ".";
  std::string path(buffer.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace vellum::platform
