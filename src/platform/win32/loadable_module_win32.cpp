#include <windows.h>

#include "platform/loadable_module.h"
#include "platform/win32/wide.h"

namespace vellum::platform {

namespace {

using win32::Utf8;
using win32::Wide;

class DllModule : public LoadableModule {
 public:
  explicit DllModule(HMODULE handle) : handle_(handle) {}
  ~DllModule() override { FreeLibrary(handle_); }
  void* Symbol(const char* name) override { return reinterpret_cast<void*>(GetProcAddress(handle_, name)); }

 private:
  HMODULE handle_;
};

std::string SystemText(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = text ? Utf8(text) : std::to_string(code);
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace

std::unique_ptr<LoadableModule> LoadModule(const std::string& path, std::string& error) {
  // The module's own folder is searched for the modules it needs.
  HMODULE handle = LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!handle) {
    error = SystemText(GetLastError());
    return nullptr;
  }
  return std::make_unique<DllModule>(handle);
}

std::string ProgramFolder() {
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return ".";
  buffer.resize(n);
  const size_t slash = buffer.find_last_of(L"\\/");
  return slash == std::wstring::npos ? "." : Utf8(buffer.substr(0, slash));
}

}  // namespace vellum::platform
