// The image-container libraries (libewf, libvhdi, libvmdk, libqcow) have no
// Windows build to link: the Windows program reads raw images and split raw
// pieces, and names the file and its format when it meets a container.
#include "platform/images/formats.h"

namespace vellum::platform {

namespace {

ImageOpen NotInThisBuild(const std::string& path, const std::string& format) {
  return ImageFailure(path + " を開けません: " + format +
                      " のイメージは、このプログラムの Windows 版では読めません (raw イメージに変換するか、"
                      "Linux 版を使ってください)。");
}

}  // namespace

ImageOpen OpenEwfImage(const std::string& path, const std::string& format) { return NotInThisBuild(path, format); }
ImageOpen OpenVhdiImage(const std::string& path, const std::string& format) { return NotInThisBuild(path, format); }
ImageOpen OpenVmdkImage(const std::string& path, const std::string& format) { return NotInThisBuild(path, format); }
ImageOpen OpenQcowImage(const std::string& path, const std::string& format) { return NotInThisBuild(path, format); }

}  // namespace vellum::platform
