#include <libvhdi.h>

#include <cstring>

#include "platform/images/formats.h"
#include "platform/images/library_chain.h"
#include "platform/images/library_error.h"

namespace vellum::platform {

namespace {

std::string TakeError(libvhdi_error_t*& error) {
  return TakeLibraryError(error, libvhdi_error_sprint, libvhdi_error_free);
}

struct VhdiTraits {
  using Handle = libvhdi_file_t;

  static Handle* Open(const std::string& path, std::string& why) {
    Handle* file = nullptr;
    libvhdi_error_t* error = nullptr;
    if (libvhdi_file_initialize(&file, &error) != 1) {
      why = TakeError(error);
      return nullptr;
    }
    if (libvhdi_file_open(file, path.c_str(), libvhdi_get_access_flags_read(), &error) != 1) {
      why = TakeError(error);
      libvhdi_file_free(&file, nullptr);
      return nullptr;
    }
    return file;
  }
  static void Close(Handle* file) {
    libvhdi_file_close(file, nullptr);
    libvhdi_file_free(&file, nullptr);
  }
  static bool HasParent(Handle* file) {
    uint32_t type = 0;
    return libvhdi_file_get_disk_type(file, &type, nullptr) == 1 && type == LIBVHDI_DISK_TYPE_DIFFERENTIAL;
  }
  static std::string ParentName(Handle* file) {
    size_t size = 0;
    if (libvhdi_file_get_utf8_parent_filename_size(file, &size, nullptr) != 1 || size == 0 || size > 65536) return {};
    std::vector<char> name(size);
    if (libvhdi_file_get_utf8_parent_filename(file, reinterpret_cast<uint8_t*>(name.data()), size, nullptr) != 1)
      return {};
    return std::string(name.data(), strnlen(name.data(), size));
  }
  static bool ParentMatches(Handle* child, Handle* parent) {
    uint8_t expected[16] = {}, actual[16] = {};
    if (libvhdi_file_get_parent_identifier(child, expected, sizeof expected, nullptr) != 1 ||
        libvhdi_file_get_identifier(parent, actual, sizeof actual, nullptr) != 1)
      return true;  // nothing recorded to compare
    return std::memcmp(expected, actual, sizeof expected) == 0;
  }
  static bool SetParent(Handle* child, Handle* parent, std::string& why) {
    libvhdi_error_t* error = nullptr;
    if (libvhdi_file_set_parent_file(child, parent, &error) == 1) return true;
    why = TakeError(error);
    return false;
  }
  static ssize_t Read(Handle* file, uint8_t* data, size_t length, uint64_t offset, std::string& why) {
    libvhdi_error_t* error = nullptr;
    const ssize_t n = libvhdi_file_read_buffer_at_offset(file, data, length, static_cast<off64_t>(offset), &error);
    if (n < 0) why = TakeError(error);
    return n;
  }
  static uint64_t MediaSize(Handle* file) {
    size64_t size = 0;
    libvhdi_file_get_media_size(file, &size, nullptr);
    return size;
  }
  static uint32_t SectorSize(Handle* file) {
    uint32_t size = 512;
    libvhdi_file_get_bytes_per_sector(file, &size, nullptr);
    return size;
  }
  static std::vector<std::string> ExtraFiles(Handle*, const std::string&) { return {}; }
};

}  // namespace

ImageOpen OpenVhdiImage(const std::string& path, const std::string& format) {
  return OpenLibraryChain<VhdiTraits>(path, format, "差分 " + format + " ディスク");
}

}  // namespace vellum::platform
