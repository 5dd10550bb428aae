#include <libvmdk.h>

#include <cstring>
#include <filesystem>

#include "platform/images/formats.h"
#include "platform/images/library_chain.h"
#include "platform/images/library_error.h"

namespace vellum::platform {

namespace {

std::string TakeError(libvmdk_error_t*& error) {
  return TakeLibraryError(error, libvmdk_error_sprint, libvmdk_error_free);
}

std::string Folder(const std::string& path) {
  const std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

struct VmdkTraits {
  using Handle = libvmdk_handle_t;

  static Handle* Open(const std::string& path, std::string& why) {
    Handle* handle = nullptr;
    libvmdk_error_t* error = nullptr;
    if (libvmdk_handle_initialize(&handle, &error) != 1) {
      why = TakeError(error);
      return nullptr;
    }
    // A descriptor names its extents relative to its own folder, not to
    // wherever the program was started.
    const std::string dir = Folder(path);
    if (libvmdk_handle_open(handle, path.c_str(), libvmdk_get_access_flags_read(), &error) != 1 ||
        libvmdk_handle_set_extent_data_files_path(handle, dir.c_str(), dir.size(), &error) != 1 ||
        libvmdk_handle_open_extent_data_files(handle, &error) != 1) {
      why = TakeError(error);
      if (why.empty()) why = "エクステントファイルを開けません";
      Close(handle);
      return nullptr;
    }
    return handle;
  }
  static void Close(Handle* handle) {
    libvmdk_handle_close(handle, nullptr);
    libvmdk_handle_free(&handle, nullptr);
  }
  static std::string ParentName(Handle* handle) {
    size_t size = 0;
    if (libvmdk_handle_get_utf8_parent_filename_size(handle, &size, nullptr) != 1 || size == 0 || size > 65536)
      return {};
    std::vector<char> name(size);
    if (libvmdk_handle_get_utf8_parent_filename(handle, reinterpret_cast<uint8_t*>(name.data()), size, nullptr) != 1)
      return {};
    return std::string(name.data(), strnlen(name.data(), size));
  }
  static bool HasParent(Handle* handle) { return !ParentName(handle).empty(); }
  static bool ParentMatches(Handle* child, Handle* parent) {
    uint32_t expected = 0, actual = 0;
    if (libvmdk_handle_get_parent_content_identifier(child, &expected, nullptr) != 1 ||
        libvmdk_handle_get_content_identifier(parent, &actual, nullptr) != 1)
      return true;
    return expected == actual;
  }
  static bool SetParent(Handle* child, Handle* parent, std::string& why) {
    libvmdk_error_t* error = nullptr;
    if (libvmdk_handle_set_parent_handle(child, parent, &error) == 1) return true;
    why = TakeError(error);
    return false;
  }
  static ssize_t Read(Handle* handle, uint8_t* data, size_t length, uint64_t offset, std::string& why) {
    libvmdk_error_t* error = nullptr;
    const ssize_t n = libvmdk_handle_read_buffer_at_offset(handle, data, length, static_cast<off64_t>(offset), &error);
    if (n < 0) why = TakeError(error);
    return n;
  }
  static uint64_t MediaSize(Handle* handle) {
    size64_t size = 0;
    libvmdk_handle_get_media_size(handle, &size, nullptr);
    return size;
  }
  static uint32_t SectorSize(Handle*) { return 512; }
  // The extents a descriptor names, each a file beside it.
  static std::vector<std::string> ExtraFiles(Handle* handle, const std::string& path) {
    std::vector<std::string> files;
    int count = 0;
    if (libvmdk_handle_get_number_of_extents(handle, &count, nullptr) != 1) return files;
    for (int i = 0; i < count && i < 4096; ++i) {
      libvmdk_extent_descriptor_t* extent = nullptr;
      if (libvmdk_handle_get_extent_descriptor(handle, i, &extent, nullptr) != 1) continue;
      size_t size = 0;
      if (libvmdk_extent_descriptor_get_utf8_filename_size(extent, &size, nullptr) == 1 && size > 0 && size < 65536) {
        std::vector<char> name(size);
        if (libvmdk_extent_descriptor_get_utf8_filename(extent, reinterpret_cast<uint8_t*>(name.data()), size,
                                                        nullptr) == 1)
          files.push_back((std::filesystem::path(Folder(path)) / std::string(name.data(), strnlen(name.data(), size)))
                              .lexically_normal()
                              .string());
      }
      libvmdk_extent_descriptor_free(&extent, nullptr);
    }
    return files;
  }
};

}  // namespace

ImageOpen OpenVmdkImage(const std::string& path, const std::string& format) {
  return OpenLibraryChain<VmdkTraits>(path, format, format + " ディスク");
}

}  // namespace vellum::platform
