#include <libqcow.h>

#include <cstring>

#include "platform/images/formats.h"
#include "platform/images/library_chain.h"
#include "platform/images/library_error.h"
#include "platform/images/qcow_zero_clusters.h"

namespace vellum::platform {

namespace {

std::string TakeError(libqcow_error_t*& error) {
  return TakeLibraryError(error, libqcow_error_sprint, libqcow_error_free);
}

struct QcowTraits {
  using Handle = libqcow_file_t;

  static Handle* Open(const std::string& path, std::string& why) {
    Handle* file = nullptr;
    libqcow_error_t* error = nullptr;
    if (libqcow_file_initialize(&file, &error) != 1) {
      why = TakeError(error);
      return nullptr;
    }
    if (libqcow_file_open(file, path.c_str(), libqcow_get_access_flags_read(), &error) != 1) {
      why = TakeError(error);
      libqcow_file_free(&file, nullptr);
      return nullptr;
    }
    // Without the key an encrypted image reads as noise; refusing it is
    // the only honest answer.
    uint32_t method = LIBQCOW_ENCRYPTION_METHOD_NONE;
    libqcow_file_get_encryption_method(file, &method, nullptr);
    if (method != LIBQCOW_ENCRYPTION_METHOD_NONE) {
      why = method == LIBQCOW_ENCRYPTION_METHOD_LUKS ? "暗号化されています (LUKS)。暗号化されたイメージは読めません"
                                                     : "暗号化されています (AES)。暗号化されたイメージは読めません";
      Close(file);
      return nullptr;
    }
    return file;
  }
  static void Close(Handle* file) {
    libqcow_file_close(file, nullptr);
    libqcow_file_free(&file, nullptr);
  }
  static std::string ParentName(Handle* file) {
    size_t size = 0;
    if (libqcow_file_get_utf8_backing_filename_size(file, &size, nullptr) != 1 || size == 0 || size > 65536)
      return {};
    std::vector<char> name(size);
    if (libqcow_file_get_utf8_backing_filename(file, reinterpret_cast<uint8_t*>(name.data()), size, nullptr) != 1)
      return {};
    return std::string(name.data(), strnlen(name.data(), size));
  }
  static bool HasParent(Handle* file) { return !ParentName(file).empty(); }
  // A backing file records nothing of its child to compare with.
  static bool ParentMatches(Handle*, Handle*) { return true; }
  static bool SetParent(Handle* child, Handle* parent, std::string& why) {
    libqcow_error_t* error = nullptr;
    if (libqcow_file_set_parent_file(child, parent, &error) == 1) return true;
    why = TakeError(error);
    return false;
  }
  static ssize_t Read(Handle* file, uint8_t* data, size_t length, uint64_t offset, std::string& why) {
    libqcow_error_t* error = nullptr;
    const ssize_t n = libqcow_file_read_buffer_at_offset(file, data, length, static_cast<off64_t>(offset), &error);
    if (n < 0) why = TakeError(error);
    return n;
  }
  static uint64_t MediaSize(Handle* file) {
    size64_t size = 0;
    libqcow_file_get_media_size(file, &size, nullptr);
    return size;
  }
  static uint32_t SectorSize(Handle*) { return 512; }
  static std::vector<std::string> ExtraFiles(Handle*, const std::string&) { return {}; }
};

}  // namespace

ImageOpen OpenQcowImage(const std::string& path, const std::string& format) {
  ImageOpen r = OpenLibraryChain<QcowTraits>(path, format, format + " イメージ");
  if (!r.device) return r;
  QcowZeroMap zeros;
  std::string why;
  if (!FindQcowZeroClusters(r.device->BackingFiles(), r.device->Size(), zeros, why))
    return ImageFailure(path + " を開けません: " + format + " イメージの管理表が壊れています: " + why);
  r.device = WithZeroClusters(std::move(r.device), std::move(zeros));
  return r;
}

}  // namespace vellum::platform
